#include "qx/QxGLD.h"

#include <algorithm>
#include <cstdio>

#include "qx/QxSystem.h"
#include "rtl/codepage.h"
#include "rtl/exceptions.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace qx {

namespace {

// Malformed data end here: one place to stop at for every corrupt stream.
[[noreturn]] void Corrupt(const char* message) { throw rtl::Exception(message); }
[[noreturn]] void ReadError() { throw rtl::EReadError("Stream read error"); }

uint16_t LittleWord(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t LittleLong(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// A read-only file, opened so that others may go on reading and writing it.
class TGLDFileStream : public kxc::TStream {
public:
    explicit TGLDFileStream(const std::string& fileName) {
#ifdef _WIN32
        handle_ = CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE)
#else
        file_ = std::fopen(fileName.c_str(), "rb");
        if (!file_)
#endif
            throw rtl::EFOpenError("Cannot open file " + fileName);
    }
    ~TGLDFileStream() override {
#ifdef _WIN32
        CloseHandle(handle_);
#else
        std::fclose(file_);
#endif
    }
    int32_t Read(void* buffer, int32_t count) override {
        if (count <= 0) return 0;
#ifdef _WIN32
        DWORD done = 0;
        if (!ReadFile(handle_, buffer, DWORD(count), &done, nullptr)) return 0;
        return int32_t(done);
#else
        return int32_t(std::fread(buffer, 1, size_t(count), file_));
#endif
    }
    int32_t Write(const void*, int32_t) override { return 0; }
    int64_t Seek(int64_t offset, kxc::TSeekOrigin origin) override {
#ifdef _WIN32
        LARGE_INTEGER to, at;
        to.QuadPart = offset;
        DWORD how = origin == kxc::soBeginning ? FILE_BEGIN : origin == kxc::soCurrent ? FILE_CURRENT : FILE_END;
        if (!SetFilePointerEx(handle_, to, &at, how)) return -1;
        return at.QuadPart;
#else
        int how = origin == kxc::soBeginning ? SEEK_SET : origin == kxc::soCurrent ? SEEK_CUR : SEEK_END;
        if (fseeko(file_, off_t(offset), how) != 0) return -1;
        return int64_t(ftello(file_));
#endif
    }

private:
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    std::FILE* file_ = nullptr;
#endif
};

#ifndef _WIN32
// Away from Windows the code pages known by table (1251, 1252) convert by table, as the
// system's tables map them; any other through the C library's converter, named "CP" and
// the number as its Windows code pages are (65001 is UTF-8). A code page that neither
// knows fails, as the system's conversion does for a code page it does not have. A
// character that the code page cannot show becomes "?", the system's default character.
bool ConvertWithoutSystem(const std::u16string& wide, int32_t codePage, std::string& ansi) {
    ansi.clear();
    size_t length = 0;
    while (length < wide.size() && wide[length] != 0) ++length;
    if (rtl::IsTableCodePage(codePage)) {
        for (size_t i = 0; i < length; ++i) {
            const int b = rtl::UnicodeToCodePageChar(codePage, wide[i]);
            ansi += b < 0 ? '?' : char(b);
        }
        return true;
    }
    const std::string name = codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage);
    iconv_t converter = iconv_open(name.c_str(), "UTF-16LE");
    if (converter == iconv_t(-1)) return false;
    // One character (a surrogate pair counts as one) at a time, so that one without a code
    // in the target stands alone for its "?".
    for (size_t i = 0; i < length;) {
        const size_t units =
            (wide[i] >= 0xD800 && wide[i] < 0xDC00 && i + 1 < length && wide[i + 1] >= 0xDC00 &&
             wide[i + 1] < 0xE000)
                ? 2
                : 1;
        char in[4];
        for (size_t k = 0; k < units; ++k) {
            in[2 * k] = char(wide[i + k] & 0xFF);
            in[2 * k + 1] = char(wide[i + k] >> 8);
        }
        char out[16];
        char* inPtr = in;
        char* outPtr = out;
        size_t inLeft = 2 * units;
        size_t outLeft = sizeof out;
        const bool converted = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1) &&
                               iconv(converter, nullptr, nullptr, &outPtr, &outLeft) != size_t(-1);
        if (converted)
            ansi.append(out, size_t(outPtr - out));
        else
            ansi += '?';
        iconv(converter, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        i += units;
    }
    iconv_close(converter);
    return true;
}
#endif

}  // namespace

// ---- Conversions ------------------------------------------------------------------------

void ConvertWideToAnsi(const std::u16string& wide, int32_t codePage, std::string& ansi) {
    ansi.clear();
    if (wide.empty() || wide[0] == 0) return;
#ifdef _WIN32
    // c_str() gives the zero-terminated text; the conversion stops at its first zero unit.
    const wchar_t* text = reinterpret_cast<const wchar_t*>(wide.c_str());
    int n = WideCharToMultiByte(UINT(codePage), 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return;
    ansi.assign(size_t(n - 1), '\0');
    std::string buffer(size_t(n), '\0');
    int done = WideCharToMultiByte(UINT(codePage), 0, text, -1, &buffer[0], n, nullptr, nullptr);
    if (done <= 1) {
        ansi.clear();
        return;
    }
    ansi.assign(buffer.data(), size_t(done - 1));
#else
    const int32_t cp = codePage == CP_SYSTEM ? int32_t(LocaleSystem().AnsiCodePage()) : codePage;
    if (!ConvertWithoutSystem(wide, cp, ansi)) ansi.clear();
#endif
}

void SwapWord(uint16_t& value) { value = uint16_t((value >> 8) | (value << 8)); }

void SwapLongWord(uint32_t& value) {
    value = (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}

void SwapWideString(std::u16string& text) {
    for (char16_t& unit : text) {
        uint16_t u = uint16_t(unit);
        SwapWord(u);
        unit = char16_t(u);
    }
}

// ---- The reader -------------------------------------------------------------------------

TQxGLDFile::TQxGLDFile() : language_(new TQxLanguage()), locale_(new TQxLocale()) {}

TQxGLDFile::~TQxGLDFile() = default;

void TQxGLDFile::SetStream(std::unique_ptr<kxc::TStream> stream) {
    stream_ = std::move(stream);
    languageStarts_.clear();
    localeStarts_.clear();
}

void TQxGLDFile::Open() { ReadGLDHeader(); }

void TQxGLDFile::SetRecordStarts(std::vector<int64_t>& languages, std::vector<int64_t>& locales) {
    languageStarts_.swap(languages);
    localeStarts_.swap(locales);
    languages.clear();
    locales.clear();
}

void TQxGLDFile::TakeRecordStarts(std::vector<int64_t>& languages, std::vector<int64_t>& locales) {
    languages.swap(languageStarts_);
    locales.swap(localeStarts_);
    languageStarts_.clear();
    localeStarts_.clear();
}

void TQxGLDFile::OpenFile(const std::string& fileName) {
    SetStream(std::make_unique<TGLDFileStream>(fileName));
    ReadGLDHeader();
    SeekLanguages();
    ReadGLDLanguage();
    SeekLanguages();
}

void TQxGLDFile::ReadGLDHeader() {
    if (!stream_) ReadError();
    streamSize_ = stream_->Size();
    stream_->SetPosition(0);
    ReadBytes(header_.data(), gld::kHeaderSize);
    std::string magic;
    for (int i = 0; i < gld::kMagicSize && header_[gld::kMagic + i] != 0; ++i)
        magic += char(header_[gld::kMagic + i]);
    if (magic != "GLD") Corrupt("The stream is not a valid GLD stream");
    if (header_[gld::kVersion] == 1) {
        header_[gld::kStringWidth] = header_[gld::kV1StringWidth];
        header_[gld::kV1StringWidth] = 0;
        std::fill(header_.begin() + gld::kFourthCount, header_.begin() + gld::kFourthOffset + 4, 0);
    }
    uint16_t languageCount = LittleWord(&header_[gld::kLanguageCount]);
    uint16_t translationCount = LittleWord(&header_[gld::kTranslationCount]);
    uint16_t localeCount = LittleWord(&header_[gld::kLocaleCount]);
    languageOffset_ = LittleLong(&header_[gld::kLanguageOffset]);
    translationOffset_ = LittleLong(&header_[gld::kTranslationOffset]);
    localeOffset_ = LittleLong(&header_[gld::kLocaleOffset]);
    if (!LittleEndian()) {
        SwapWord(languageCount);
        SwapWord(translationCount);
        SwapWord(localeCount);
        SwapLongWord(languageOffset_);
        SwapLongWord(translationOffset_);
        SwapLongWord(localeOffset_);
    }
    languageCount_ = languageCount;
    translationCount_ = translationCount;
    localeCount_ = localeCount;
    languageStarts_.clear();
    localeStarts_.clear();
}

void TQxGLDFile::SeekLanguages() {
    if (!stream_) ReadError();
    if (languageOffset_ == 0) Corrupt("Invalid language offset");
    stream_->SetPosition(languageOffset_);
}

void TQxGLDFile::SeekTranslations() {
    if (!stream_) ReadError();
    if (translationOffset_ == 0) Corrupt("Invalid translation offset");
    stream_->SetPosition(translationOffset_);
}

void TQxGLDFile::SeekLocales() {
    if (!stream_) ReadError();
    if (localeCount_ == 0) Corrupt("No custom locales");
    if (localeOffset_ == 0) Corrupt("Invalid locale offset");
    stream_->SetPosition(localeOffset_);
}

// Reading record i means reading every record before it. A record's content does not depend
// on the records read before it, so the start of each record met is kept and a later ask
// resumes from the nearest one: asking for every index in turn reads the section once, with
// the same results as rereading it from the start each time.
template <class Read>
bool TQxGLDFile::ReadRecordAt(std::vector<int64_t>& starts, int32_t index, Read read) {
    if (index < 0) return false;
    if (starts.empty()) starts.push_back(stream_->Position());
    size_t k = std::min(size_t(index), starts.size() - 1);
    stream_->SetPosition(starts[k]);
    for (;;) {
        read();
        if (k + 1 == starts.size()) starts.push_back(stream_->Position());
        if (k == size_t(index)) return true;
        ++k;
    }
}

TQxLanguage* TQxGLDFile::ReadLanguageAt(int32_t index) {
    SeekLanguages();
    if (!ReadRecordAt(languageStarts_, index, [this] { ReadGLDLanguage(); })) return nullptr;
    return language_.get();
}

TQxLocale* TQxGLDFile::ReadLocaleAt(int32_t index) {
    SeekLocales();
    if (!ReadRecordAt(localeStarts_, index, [this] { ReadGLDLocale(); })) return nullptr;
    return locale_.get();
}

TQxLanguage& TQxGLDFile::ReadGLDLanguage() {
    TQxLanguage& l = *language_;
    const uint8_t version = Version();
    BeginRecord();
    // Nothing of the record before may stay: the record carries no selected sub-language.
    l.SubId = 0;
    l.ClearSubLanguageTexts();
    l.PrimaryId = ReadWord();
    l.LanguageCode.clear();
    if (version >= gld::kVersionCodes) l.LanguageCode = ReadFixedText(2, CP_SYSTEM);
    if (l.PrimaryId == 0) l.LanguageCode.clear();
    l.DefaultSubId = ReadWord();
    l.CountryCode.clear();
    if (version >= gld::kVersionCodes) l.CountryCode = ReadFixedText(2, CP_SYSTEM);
    if (l.CountryCode.empty() || l.CountryCode[0] == '\0' || l.DefaultSubId == 0) l.CountryCode.clear();
    l.SetSubLanguageText(ReadText(CP_SYSTEM));
    l.SetSubLanguageTexts(version >= gld::kVersionCodes ? ReadText(CP_SYSTEM) : std::string());
    l.Charset = version >= gld::kVersionFramed ? uint8_t(ReadWord() & 0xFF) : 0;
    l.SetCodePage(ReadWord());
    l.SetFlags(ReadByte());
    l.EnglishName = ReadText(CP_SYSTEM);
    l.NativeName = ReadText(l.CodePage);
    l.FontName = ReadText(CP_SYSTEM);
    l.FontSize = ReadByte();
    EndRecord();
    l.Complete();
    return l;
}

TQxLocale& TQxGLDFile::ReadGLDLocale() {
    TQxLocale& c = *locale_;
    const uint8_t version = Version();
    BeginRecord();
    c.PrimaryId = ReadWord();
    c.LanguageCode = version >= gld::kVersionCodes ? ReadFixedText(2, CP_SYSTEM) : std::string();
    c.SubId = ReadWord();
    c.CountryCode = version >= gld::kVersionCodes ? ReadFixedText(2, CP_SYSTEM) : std::string();
    c.Charset = version >= gld::kVersionFramed ? uint8_t(ReadWord() & 0xFF) : 0;
    c.CodePage = ReadWord();
    const int32_t cp = c.CodePage;
    c.LocaleFlag = ReadBool();
    c.EnglishLanguageName = ReadText(CP_SYSTEM);
    c.EnglishCountryName = ReadText(CP_SYSTEM);
    c.NativeLanguageName = ReadText(cp);
    c.NativeCountryName = ReadText(cp);
    c.AbbrevLanguageName = ReadText(CP_SYSTEM);
    c.CountryName = ReadText(CP_SYSTEM);
    c.Measure = ReadByte();
    c.CurrencyString = ReadText(cp);
    c.CurrencyFormat = ReadByte();
    c.NegCurrFormat = ReadByte();
    c.CurrencyDecimals = ReadByte();
    c.ThousandSeparator = ReadChar(cp);
    c.DecimalSeparator = ReadChar(cp);
    c.DateSeparator = ReadChar(cp);
    c.ShortDateFormat = ReadText(cp);
    c.LongDateFormat = ReadText(cp);
    c.TimeSeparator = ReadChar(cp);
    c.TimeAMString = ReadText(cp);
    c.TimePMString = ReadText(cp);
    c.TimeLeadingZero = ReadBool();
    c.TimeFormat = ReadByte();
    c.TimeMarkerPosition = ReadByte();
    c.CalendarType = ReadByte();
    c.OptionalCalendar = ReadByte();
    c.FirstDayOfWeek = ReadByte();
    c.FirstWeekOfYear = ReadByte();
    for (std::string& s : c.ShortMonthNames) s = ReadText(cp);
    for (std::string& s : c.LongMonthNames) s = ReadText(cp);
    for (std::string& s : c.ShortDayNames) s = ReadText(cp);
    for (std::string& s : c.LongDayNames) s = ReadText(cp);
    EndRecord();
    return c;
}

uint8_t TQxGLDFile::ReadGLDTranslation(TQxTranslation& entry, int32_t selectedIndex,
                                       int32_t codePage, int32_t fallbackIndex) {
    entry.Native = ReadText(CP_SYSTEM);
    entry.ContextA = HasContextA() ? ReadText(CP_SYSTEM) : std::string();
    entry.ContextB = HasContextB() ? ReadText(CP_SYSTEM) : std::string();
    std::string selected, fallback;
    for (int32_t i = 1; i < languageCount_; ++i) {
        if (i == selectedIndex)
            selected = ReadText(codePage);
        else if (i == fallbackIndex)
            fallback = ReadText(codePage);
        else
            ReadText(CP_SYSTEM);
    }
    if (!selected.empty()) {
        entry.Translation = selected;
        entry.State = 0;
    } else if (!fallback.empty()) {
        entry.Translation = fallback;
        entry.State = 1;
    } else {
        entry.State = 2;
    }
    return entry.State;
}

void TQxGLDFile::ReadTranslationTexts(std::string& contextA, std::string& contextB,
                                      std::vector<std::string>& list) {
    for (int32_t i = 0; i < languageCount_; ++i) {
        list.push_back(ReadAnsiString());
        if (i == 0) {
            if (HasContextA()) contextA = ReadAnsiString();
            if (HasContextB()) contextB = ReadAnsiString();
        }
    }
}

// ---- Low-level reads --------------------------------------------------------------------

// Every byte comes through here: a count is checked against what the stream still holds
// before anything is allocated or read.
void TQxGLDFile::ReadBytes(void* buffer, int64_t count) {
    if (count <= 0) return;
    if (!stream_) ReadError();
    int64_t position = stream_->Position();
    if (position < 0 || position > streamSize_ || count > streamSize_ - position) ReadError();
    stream_->ReadBuffer(buffer, int32_t(count));
    bytesLeft_ -= count;
}

uint8_t TQxGLDFile::ReadByte() {
    uint8_t b = 0;
    ReadBytes(&b, 1);
    return b;
}

bool TQxGLDFile::ReadBool() { return ReadByte() != 0; }

uint16_t TQxGLDFile::ReadWord() {
    uint8_t b[2];
    ReadBytes(b, 2);
    uint16_t w = LittleWord(b);
    if (!LittleEndian()) SwapWord(w);
    return w;
}

char TQxGLDFile::ReadChar(int32_t codePage) {
    std::string s = ReadFixedText(1, codePage);
    return s.empty() ? '\0' : s[0];
}

std::string TQxGLDFile::ReadFixedText(int32_t count, int32_t codePage) {
    if (AnsiStrings()) return ReadAnsiChars(count);
    std::string s;
    ConvertWideToAnsi(ReadWideChars(count), codePage, s);
    return s;
}

std::string TQxGLDFile::ReadText(int32_t codePage) {
    if (AnsiStrings()) return ReadAnsiString();
    std::string s;
    ConvertWideToAnsi(ReadWideString(), codePage, s);
    return s;
}

std::string TQxGLDFile::ReadAnsiString() { return ReadAnsiChars(ReadWord()); }

std::u16string TQxGLDFile::ReadWideString() { return ReadWideChars(ReadWord()); }

std::string TQxGLDFile::ReadAnsiChars(int32_t count) {
    if (count <= 0) return std::string();
    int64_t position = stream_ ? stream_->Position() : 0;
    if (count > streamSize_ - position) ReadError();
    std::string s(size_t(count), '\0');
    ReadBytes(&s[0], count);
    return s;
}

std::u16string TQxGLDFile::ReadWideChars(int32_t count) {
    if (count <= 0) return std::u16string();
    std::string bytes = ReadAnsiChars(count * 2);
    std::u16string s(size_t(count), u'\0');
    for (int32_t i = 0; i < count; ++i)
        s[size_t(i)] = char16_t(LittleWord(reinterpret_cast<const uint8_t*>(&bytes[size_t(2 * i)])));
    if (!LittleEndian()) SwapWideString(s);
    return s;
}

void TQxGLDFile::BeginRecord() {
    if (Version() >= gld::kVersionFramed) bytesLeft_ = int64_t(ReadWord()) - 2;
}

void TQxGLDFile::EndRecord() {
    if (Version() >= gld::kVersionFramed && bytesLeft_ > 0) SkipBytes(bytesLeft_);
}

void TQxGLDFile::SkipBytes(int64_t count) {
    if (!stream_) ReadError();
    stream_->Seek(count, kxc::soCurrent);
    bytesLeft_ -= count;
}

}  // namespace qx
