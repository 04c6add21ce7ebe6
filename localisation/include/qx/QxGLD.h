// Unit QxGLDFil: TQxGLDFile, the reader of GLD dictionary streams (layout in QxGLDFormat.h),
// and the wide-to-8-bit conversion that it uses.
//
// The reader reads a stream's header, then, on request, its language, translation and locale
// records. It checks only what the format asks for; every count, length and offset is still
// bounded by what the stream holds, so hostile data end in one of the errors below.
// Raises: rtl::Exception "The stream is not a valid GLD stream", "Invalid language offset",
// "Invalid translation offset", "No custom locales", "Invalid locale offset",
// "Cannot open file <name>" (OpenFile); rtl::EReadError "Stream read error" when the stream
// ends inside a read; rtl::EConvertError "'%s' is not a valid integer value" for a
// sub-language list that is not made of integers.
// Ownership: the reader owns the stream it is given and the language and locale that it hands
// out; both are overwritten by the next read of their kind.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/streams.h"
#include "qx/QxDictio.h"
#include "qx/QxGLDFormat.h"
#include "qx/QxLanguage.h"

namespace qx {

// The system's ANSI code page, as a code-page argument.
constexpr int32_t CP_SYSTEM = 0;

// The 8-bit text of a wide text in a code page: empty when the text is empty, begins with
// unit 0, or cannot be converted. The conversion stops at the first zero unit.
void ConvertWideToAnsi(const std::u16string& wide, int32_t codePage, std::string& ansi);

void SwapWord(uint16_t& value);
void SwapLongWord(uint32_t& value);
// Reverses the bytes of every UTF-16 unit.
void SwapWideString(std::u16string& text);

class TQxGLDFile {
public:
    TQxGLDFile();
    ~TQxGLDFile();
    TQxGLDFile(const TQxGLDFile&) = delete;
    TQxGLDFile& operator=(const TQxGLDFile&) = delete;

    // Gives the reader an open, seekable stream, which it owns from then on.
    void SetStream(std::unique_ptr<kxc::TStream> stream);
    kxc::TStream* Stream() const { return stream_.get(); }
    // Reads and checks the header of the stream given.
    void Open();
    // Opens the file (read-only, others may read and write), reads the header and the first
    // language record, and leaves the stream at the first language record.
    void OpenFile(const std::string& fileName);

    // The header as read (after the version-1 rule and the byte swap).
    uint8_t Version() const { return header_[gld::kVersion]; }
    bool LittleEndian() const { return header_[gld::kByteOrder] != 0; }
    bool AnsiStrings() const { return header_[gld::kStringWidth] != 0; }
    uint8_t ContextType() const { return header_[gld::kContextType]; }
    bool HasContextA() const { return gld::HasContextA(ContextType()); }
    bool HasContextB() const { return gld::HasContextB(ContextType()); }
    int32_t LanguageCount() const { return languageCount_; }
    int32_t TranslationCount() const { return translationCount_; }
    int32_t LocaleCount() const { return localeCount_; }
    uint32_t LanguageOffset() const { return languageOffset_; }
    uint32_t TranslationOffset() const { return translationOffset_; }
    uint32_t LocaleOffset() const { return localeOffset_; }

    // Position the stream at the first record of a section.
    void SeekLanguages();
    void SeekTranslations();
    void SeekLocales();

    // The language record at the stream position, read into the reader's language.
    TQxLanguage& ReadGLDLanguage();
    // Record `index` of the language section; below 0 it only seeks and returns nullptr. The
    // index is not compared with the count.
    TQxLanguage* ReadLanguageAt(int32_t index);
    TQxLocale& ReadGLDLocale();
    TQxLocale* ReadLocaleAt(int32_t index);
    // Reads the translation record at the stream position into `entry`: the selected
    // language's text (state 0), else the fallback language's (state 1), else neither
    // (state 2, `Translation` untouched). Returns the state.
    uint8_t ReadGLDTranslation(TQxTranslation& entry, int32_t selectedIndex, int32_t codePage,
                               int32_t fallbackIndex);
    // Reads the translation record at the stream position as raw 8-bit texts: one per
    // language (the native text first), the contexts the context type has right after it.
    void ReadTranslationTexts(std::string& contextA, std::string& contextB,
                              std::vector<std::string>& list);

    // Where the records of the language and locale sections read so far start (record i at
    // [i]). A reader of the same data, unchanged, may be given them after Open, so that it
    // reaches record i without reading the records before it; for other data they would be
    // wrong. Both move the lists: the one taken from is left without them.
    void SetRecordStarts(std::vector<int64_t>& languages, std::vector<int64_t>& locales);
    void TakeRecordStarts(std::vector<int64_t>& languages, std::vector<int64_t>& locales);

    // Low-level reads; each one counts its size off the bytes left in the record.
    uint8_t ReadByte();
    bool ReadBool();
    uint16_t ReadWord();
    char ReadChar(int32_t codePage);
    std::string ReadFixedText(int32_t count, int32_t codePage);
    std::string ReadText(int32_t codePage);
    std::string ReadAnsiString();
    std::u16string ReadWideString();
    std::string ReadAnsiChars(int32_t count);
    std::u16string ReadWideChars(int32_t count);
    void BeginRecord();
    void EndRecord();
    void SkipBytes(int64_t count);

private:
    void ReadGLDHeader();
    void ReadBytes(void* buffer, int64_t count);
    // Record `index` of a section through the offsets of the records read so far.
    template <class Read>
    bool ReadRecordAt(std::vector<int64_t>& starts, int32_t index, Read read);

    std::array<uint8_t, gld::kHeaderSize> header_{};
    int32_t languageCount_ = 0;
    int32_t translationCount_ = 0;
    int32_t localeCount_ = 0;
    uint32_t languageOffset_ = 0;
    uint32_t translationOffset_ = 0;
    uint32_t localeOffset_ = 0;
    std::unique_ptr<TQxLanguage> language_;
    std::unique_ptr<TQxLocale> locale_;
    std::unique_ptr<kxc::TStream> stream_;
    int64_t streamSize_ = 0;
    // Bytes left in the current record; only version-3 records look at it.
    int64_t bytesLeft_ = 0;
    // Start offsets of the records of each section met so far (record i at [i]).
    std::vector<int64_t> languageStarts_;
    std::vector<int64_t> localeStarts_;
};

}  // namespace qx
