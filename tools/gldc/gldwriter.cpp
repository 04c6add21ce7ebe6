#include "gldwriter.h"

#include "qx/QxGLDFormat.h"
#include "rtl/codepage.h"
#include "rtl/exceptions.h"

namespace gldwriter {

namespace gld = qx::gld;

namespace {

class Out {
public:
    explicit Out(const Dictionary& d) : d_(d) {}

    std::string bytes;

    void Byte(uint8_t b) { bytes += char(b); }
    void Word(uint16_t w) {
        if (d_.LittleEndian) {
            Byte(uint8_t(w));
            Byte(uint8_t(w >> 8));
        } else {
            Byte(uint8_t(w >> 8));
            Byte(uint8_t(w));
        }
    }
    void Long(uint32_t v) {
        if (d_.LittleEndian) {
            Word(uint16_t(v));
            Word(uint16_t(v >> 16));
        } else {
            Word(uint16_t(v >> 16));
            Word(uint16_t(v));
        }
    }
    // The characters of an 8-bit text in the stream's width, without a count.
    void Chars(const std::string& text, int32_t codePage) {
        for (unsigned char c : text) {
            if (d_.AnsiStrings) {
                Byte(c);
            } else {
                uint32_t u = rtl::IsTableCodePage(codePage) ? rtl::CodePageCharToUnicode(codePage, c) : c;
                Word(uint16_t(u ? u : c));
            }
        }
    }
    void Text(const std::string& text, int32_t codePage) {
        if (text.size() > 0xFFFF) throw rtl::Exception("Text too long for a GLD stream");
        Word(uint16_t(text.size()));
        Chars(text, codePage);
    }
    // A fixed text of n characters: cut or padded with zeros.
    void Fixed(std::string text, size_t n, int32_t codePage) {
        text.resize(n, '\0');
        Chars(text, codePage);
    }
    // Starts a version-3 record: room for its length, filled in by EndRecord.
    size_t BeginRecord() {
        size_t at = bytes.size();
        if (d_.Version >= gld::kVersionFramed) Word(0);
        return at;
    }
    void EndRecord(size_t at, const std::string& extra) {
        if (d_.Version < gld::kVersionFramed) return;
        bytes += extra;
        size_t length = bytes.size() - at;
        if (length > 0xFFFF) throw rtl::Exception("Record too long for a GLD stream");
        std::string saved = bytes.substr(at + 2);
        bytes.resize(at);
        Word(uint16_t(length));
        bytes += saved;
    }

private:
    const Dictionary& d_;
};

void WriteLanguage(Out& o, const Dictionary& d, const Language& l) {
    const int32_t sys = d.SystemCodePage;
    size_t at = o.BeginRecord();
    o.Word(l.PrimaryId);
    if (d.Version >= gld::kVersionCodes) o.Fixed(l.LanguageCode, 2, sys);
    o.Word(l.DefaultSubId);
    if (d.Version >= gld::kVersionCodes) o.Fixed(l.CountryCode, 2, sys);
    o.Text(l.SubLanguages, sys);
    if (d.Version >= gld::kVersionCodes) o.Text(l.SubLanguageTexts, sys);
    if (d.Version >= gld::kVersionFramed) o.Word(l.Charset);
    o.Word(l.CodePage);
    o.Byte(l.Flags);
    o.Text(l.EnglishName, sys);
    o.Text(l.NativeName, l.CodePage);
    o.Text(l.FontName, sys);
    o.Byte(l.FontSize);
    o.EndRecord(at, l.Extra);
}

void WriteTranslation(Out& o, const Dictionary& d, const Translation& t) {
    const int32_t sys = d.SystemCodePage;
    o.Text(t.Native, sys);
    if (gld::HasContextA(d.ContextType)) o.Text(t.ContextA, sys);
    if (gld::HasContextB(d.ContextType)) o.Text(t.ContextB, sys);
    for (size_t i = 1; i < d.Languages.size(); ++i)
        o.Text(i - 1 < t.Texts.size() ? t.Texts[i - 1] : std::string(), d.Languages[i].CodePage);
}

void WriteLocale(Out& o, const Dictionary& d, const Locale& c) {
    const int32_t sys = d.SystemCodePage;
    const int32_t cp = c.CodePage;
    size_t at = o.BeginRecord();
    o.Word(uint16_t(c.PrimaryId));
    if (d.Version >= gld::kVersionCodes) o.Fixed(c.LanguageCode, 2, sys);
    o.Word(uint16_t(c.SubId));
    if (d.Version >= gld::kVersionCodes) o.Fixed(c.CountryCode, 2, sys);
    if (d.Version >= gld::kVersionFramed) o.Word(c.Charset);
    o.Word(uint16_t(c.CodePage));
    o.Byte(c.LocaleFlag ? 1 : 0);
    o.Text(c.EnglishLanguageName, sys);
    o.Text(c.EnglishCountryName, sys);
    o.Text(c.NativeLanguageName, cp);
    o.Text(c.NativeCountryName, cp);
    o.Text(c.AbbrevLanguageName, sys);
    o.Text(c.CountryName, sys);
    o.Byte(c.Measure);
    o.Text(c.CurrencyString, cp);
    o.Byte(c.CurrencyFormat);
    o.Byte(c.NegCurrFormat);
    o.Byte(c.CurrencyDecimals);
    o.Fixed(std::string(1, c.ThousandSeparator), 1, cp);
    o.Fixed(std::string(1, c.DecimalSeparator), 1, cp);
    o.Fixed(std::string(1, c.DateSeparator), 1, cp);
    o.Text(c.ShortDateFormat, cp);
    o.Text(c.LongDateFormat, cp);
    o.Fixed(std::string(1, c.TimeSeparator), 1, cp);
    o.Text(c.TimeAMString, cp);
    o.Text(c.TimePMString, cp);
    o.Byte(c.TimeLeadingZero ? 1 : 0);
    o.Byte(c.TimeFormat);
    o.Byte(c.TimeMarkerPosition);
    o.Byte(c.CalendarType);
    o.Byte(c.OptionalCalendar);
    o.Byte(c.FirstDayOfWeek);
    o.Byte(c.FirstWeekOfYear);
    for (const std::string& s : c.ShortMonthNames) o.Text(s, cp);
    for (const std::string& s : c.LongMonthNames) o.Text(s, cp);
    for (const std::string& s : c.ShortDayNames) o.Text(s, cp);
    for (const std::string& s : c.LongDayNames) o.Text(s, cp);
    o.EndRecord(at, c.Extra);
}

uint32_t Offset(size_t at) {
    if (at > 0xFFFFFFFFu) throw rtl::Exception("GLD stream too large");
    return uint32_t(at);
}

uint16_t Count(size_t n) {
    if (n > 0xFFFF) throw rtl::Exception("Too many records for a GLD stream");
    return uint16_t(n);
}

}  // namespace

std::string Write(const Dictionary& d) {
    Out o(d);
    o.bytes.assign(size_t(gld::kHeaderSize), '\0');
    size_t languages = o.bytes.size();
    for (const Language& l : d.Languages) WriteLanguage(o, d, l);
    size_t translations = o.bytes.size();
    for (const Translation& t : d.Translations) WriteTranslation(o, d, t);
    size_t locales = d.Locales.empty() ? 0 : o.bytes.size();
    for (const Locale& c : d.Locales) WriteLocale(o, d, c);

    // The header, written last once the offsets are known. What the reader ignores holds
    // the opposite of what it reads, so that a reader taking the wrong byte misreads: byte 5
    // in version 1, byte 7 in the other versions.
    Out h(d);
    h.bytes = "GLD";
    h.Byte(d.Version);
    h.Byte(d.LittleEndian ? 1 : 0);
    const uint8_t width = d.AnsiStrings ? 1 : 0;
    h.Byte(d.Version == 1 ? uint8_t(!width) : width);
    h.Byte(d.ContextType);
    h.Byte(d.Version == 1 ? width : uint8_t(!width));
    h.Long(0);
    h.Word(Count(d.Languages.size()));
    h.Long(Offset(languages));
    h.Word(Count(d.Translations.size()));
    h.Long(Offset(translations));
    h.Word(Count(d.Locales.size()));
    h.Long(Offset(locales));
    h.Word(0);
    h.Long(0);
    h.bytes.append(size_t(gld::kHeaderSize) - h.bytes.size(), '\0');
    o.bytes.replace(0, size_t(gld::kHeaderSize), h.bytes);
    return o.bytes;
}

}  // namespace gldwriter
