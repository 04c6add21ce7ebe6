// The embedded dictionary data: the layouts of the three properties, their counting readers,
// item readers and writers, and the search of the stored form description for them.
#include "qx/QxEmbedded.h"

#include <string>

#include "qx/QxParser.h"
#include "rtl/exceptions.h"
#include "rtl/resstrings.h"

namespace qx {

namespace {

// Deepest nesting of components that the search walks through; deeper data is treated as
// corrupt instead of exhausting the stack (the values inside are bounded by the model).
constexpr int kMaxComponentDepth = 256;

// Reads the list begin and the data version; a version above what we write is refused
// with the property's message.
int32_t ReadDataVersion(kxc::TReader& reader, const char* what) {
    reader.ReadListBegin();
    const int32_t version = reader.ReadInteger();
    if (version > QxEmbeddedDataVersion)
        throw rtl::Exception(std::string("Unknown ") + what + " data version: " +
                             std::to_string(version));
    return version;
}

int32_t ReadContextType(kxc::TReader& reader, int32_t version) {
    return version >= 2 ? reader.ReadInteger() : 0;
}

bool HasContextA(int32_t contextType) { return contextType == 1 || contextType == 3; }
bool HasContextB(int32_t contextType) { return contextType == 1 || contextType == 2; }

uint8_t LowByte(int32_t value) { return static_cast<uint8_t>(value & 0xFF); }

// The strings a translation entry holds: one per language, the native text first with its
// contexts right after it. Without languages an entry is an empty list, as the writer stores
// it (the GLD record of such a dictionary has no texts to copy).
int64_t EntryStringCount(int32_t contextType, int32_t languageCount) {
    if (languageCount <= 0) return 0;
    const int32_t contexts = int32_t(HasContextA(contextType)) + int32_t(HasContextB(contextType));
    return int64_t(languageCount) + contexts;
}

[[noreturn]] void UnknownValue(uint8_t valueType) {
    throw rtl::Exception("Unknown property value: " + std::to_string(valueType));
}

[[noreturn]] void PropertyNotFound() { throw rtl::EResNotFound("Could not find the property"); }

void SkipComponentBodyAt(kxc::TReader& reader, int depth);

void SkipComponentAt(kxc::TReader& reader, int depth) {
    std::string className, name;
    ReadComponentHeader(reader, className, name);
    SkipComponentBodyAt(reader, depth);
}

void SkipComponentBodyAt(kxc::TReader& reader, int depth) {
    if (depth >= kMaxComponentDepth)
        throw rtl::EReadError(rtl::LoadResString(&rtl::SInvalidPropertyValue));
    while (!reader.EndOfList()) SkipProperty(reader);
    reader.ReadListEnd();
    while (!reader.EndOfList()) SkipComponentAt(reader, depth + 1);
    reader.ReadListEnd();
}

}  // namespace

// ---- Counting readers ----

int32_t CountEmbeddedLanguages(kxc::TReader& reader) {
    const int32_t version = ReadDataVersion(reader, "language");
    const int32_t count = reader.ReadInteger();
    TQxLanguage scratch;
    for (int32_t i = 0; i < count; ++i) ReadLanguageItem(reader, scratch, version);
    reader.ReadListEnd();
    return count;
}

// An entry holds the native text, its contexts and the texts of languages 1 onward, and
// nothing at all without languages, as the list reader reads it.
int32_t CountEmbeddedTranslations(kxc::TReader& reader, int32_t languageCount) {
    const int32_t version = ReadDataVersion(reader, "translation");
    const int32_t contextType = ReadContextType(reader, version);
    const int32_t count = reader.ReadInteger();
    const int64_t strings = EntryStringCount(contextType, languageCount);
    for (int32_t i = 0; i < count; ++i) {
        reader.ReadListBegin();
        for (int64_t k = 0; k < strings; ++k) reader.ReadString();
        reader.ReadListEnd();
    }
    reader.ReadListEnd();
    return count;
}

int32_t CountEmbeddedLocales(kxc::TReader& reader) {
    const int32_t version = ReadDataVersion(reader, "locale");
    const int32_t count = reader.ReadInteger();
    TQxLocale scratch;
    for (int32_t i = 0; i < count; ++i) ReadLocaleItem(reader, scratch, version);
    reader.ReadListEnd();
    return count;
}

// ---- Items ----

// The item carries no language or country code and no selected sub-language: those left by
// an earlier item are dropped, so Complete fills them for this one.
void ReadLanguageItem(kxc::TReader& reader, TQxLanguage& l, int32_t dataVersion) {
    reader.ReadListBegin();
    l.SubId = 0;
    l.LanguageCode.clear();
    l.CountryCode.clear();
    l.ClearSubLanguageTexts();
    l.PrimaryId = reader.ReadInteger();
    l.SetSubLanguageText(reader.ReadString());
    l.DefaultSubId = reader.ReadInteger();
    if (dataVersion >= 2) l.Charset = LowByte(reader.ReadInteger());
    l.SetCodePage(reader.ReadInteger());
    l.EnglishName = reader.ReadString();
    l.NativeName = reader.ReadString();
    l.FontName = reader.ReadString();
    l.FontSize = reader.ReadInteger();
    l.Flags = 0;
    if (reader.ReadBoolean()) l.Flags |= 1;
    if (reader.ReadBoolean()) l.Flags |= 2;
    reader.ReadListEnd();
    l.Complete();
}

void WriteLanguageItem(kxc::TWriter& writer, const TQxLanguage& l) {
    writer.WriteListBegin();
    writer.WriteInteger(l.PrimaryId);
    writer.WriteString(l.GetSubLanguageText());
    writer.WriteInteger(l.DefaultSubId);
    writer.WriteInteger(l.Charset);
    writer.WriteInteger(l.CodePage);
    writer.WriteString(l.EnglishName);
    writer.WriteString(l.NativeName);
    writer.WriteString(l.FontName);
    writer.WriteInteger(l.FontSize);
    writer.WriteBoolean((l.Flags & 1) != 0);
    writer.WriteBoolean((l.Flags & 2) != 0);
    writer.WriteListEnd();
}

void ReadLocaleItem(kxc::TReader& reader, TQxLocale& c, int32_t dataVersion) {
    reader.ReadListBegin();
    c.PrimaryId = reader.ReadInteger();
    c.SubId = reader.ReadInteger();
    if (dataVersion >= 2) c.Charset = LowByte(reader.ReadInteger());
    c.CodePage = reader.ReadInteger();
    c.LocaleFlag = reader.ReadBoolean();
    c.EnglishLanguageName = reader.ReadString();
    c.EnglishCountryName = reader.ReadString();
    c.NativeLanguageName = reader.ReadString();
    c.NativeCountryName = reader.ReadString();
    c.AbbrevLanguageName = reader.ReadString();
    c.CountryName = reader.ReadString();
    c.Measure = LowByte(reader.ReadInteger());
    c.CurrencyString = reader.ReadString();
    c.CurrencyFormat = LowByte(reader.ReadInteger());
    c.NegCurrFormat = LowByte(reader.ReadInteger());
    c.CurrencyDecimals = LowByte(reader.ReadInteger());
    c.ThousandSeparator = reader.ReadChar();
    c.DecimalSeparator = reader.ReadChar();
    c.DateSeparator = reader.ReadChar();
    c.ShortDateFormat = reader.ReadString();
    c.LongDateFormat = reader.ReadString();
    c.TimeSeparator = reader.ReadChar();
    c.TimeAMString = reader.ReadString();
    c.TimePMString = reader.ReadString();
    c.TimeLeadingZero = reader.ReadBoolean();
    c.TimeFormat = LowByte(reader.ReadInteger());
    c.TimeMarkerPosition = LowByte(reader.ReadInteger());
    c.CalendarType = LowByte(reader.ReadInteger());
    c.OptionalCalendar = LowByte(reader.ReadInteger());
    c.FirstDayOfWeek = LowByte(reader.ReadInteger());
    c.FirstWeekOfYear = LowByte(reader.ReadInteger());
    for (std::string& s : c.ShortMonthNames) s = reader.ReadString();
    for (std::string& s : c.LongMonthNames) s = reader.ReadString();
    for (std::string& s : c.ShortDayNames) s = reader.ReadString();
    for (std::string& s : c.LongDayNames) s = reader.ReadString();
    reader.ReadListEnd();
    c.Complete();
}

void WriteLocaleItem(kxc::TWriter& writer, const TQxLocale& c) {
    writer.WriteListBegin();
    writer.WriteInteger(c.PrimaryId);
    writer.WriteInteger(c.SubId);
    writer.WriteInteger(c.Charset);
    writer.WriteInteger(c.CodePage);
    writer.WriteBoolean(c.LocaleFlag);
    writer.WriteString(c.EnglishLanguageName);
    writer.WriteString(c.EnglishCountryName);
    writer.WriteString(c.NativeLanguageName);
    writer.WriteString(c.NativeCountryName);
    writer.WriteString(c.AbbrevLanguageName);
    writer.WriteString(c.CountryName);
    writer.WriteInteger(c.Measure);
    writer.WriteString(c.CurrencyString);
    writer.WriteInteger(c.CurrencyFormat);
    writer.WriteInteger(c.NegCurrFormat);
    writer.WriteInteger(c.CurrencyDecimals);
    writer.WriteChar(c.ThousandSeparator);
    writer.WriteChar(c.DecimalSeparator);
    writer.WriteChar(c.DateSeparator);
    writer.WriteString(c.ShortDateFormat);
    writer.WriteString(c.LongDateFormat);
    writer.WriteChar(c.TimeSeparator);
    writer.WriteString(c.TimeAMString);
    writer.WriteString(c.TimePMString);
    writer.WriteBoolean(c.TimeLeadingZero);
    writer.WriteInteger(c.TimeFormat);
    writer.WriteInteger(c.TimeMarkerPosition);
    writer.WriteInteger(c.CalendarType);
    writer.WriteInteger(c.OptionalCalendar);
    writer.WriteInteger(c.FirstDayOfWeek);
    writer.WriteInteger(c.FirstWeekOfYear);
    for (const std::string& s : c.ShortMonthNames) writer.WriteString(s);
    for (const std::string& s : c.LongMonthNames) writer.WriteString(s);
    for (const std::string& s : c.ShortDayNames) writer.WriteString(s);
    for (const std::string& s : c.LongDayNames) writer.WriteString(s);
    writer.WriteListEnd();
}

// ---- Whole values ----

void ReadLanguageList(kxc::TReader& reader, TQxLanguageList& list) {
    const int32_t version = ReadDataVersion(reader, "language");
    const int32_t count = reader.ReadInteger();
    for (int32_t i = 0; i < count; ++i) {
        auto language = std::make_unique<TQxLanguage>();
        ReadLanguageItem(reader, *language, version);
        list.push_back(std::move(language));
    }
    reader.ReadListEnd();
}

void ReadLocaleList(kxc::TReader& reader, TQxLocaleList& list) {
    const int32_t version = ReadDataVersion(reader, "locale");
    const int32_t count = reader.ReadInteger();
    for (int32_t i = 0; i < count; ++i) {
        auto locale = std::make_unique<TQxLocale>();
        ReadLocaleItem(reader, *locale, version);
        list.push_back(std::move(locale));
    }
    reader.ReadListEnd();
}

bool ReadTranslationList(kxc::TReader& reader, int32_t selectedIndex, const TQxTranslationSink& add,
                         int32_t languageCount, int32_t fallbackIndex) {
    const int32_t version = ReadDataVersion(reader, "translation");
    const int32_t contextType = ReadContextType(reader, version);
    const int32_t count = reader.ReadInteger();
    for (int32_t n = 0; n < count; ++n) {
        reader.ReadListBegin();
        if (EntryStringCount(contextType, languageCount) == 0) {
            reader.ReadListEnd();  // no languages: no texts, the entry goes
            continue;
        }
        auto entry = std::make_unique<TQxTranslation>();
        entry->Native = TQxStringParser::DecodeEscapes(reader.ReadString());
        if (HasContextA(contextType)) entry->ContextA = reader.ReadString();
        if (HasContextB(contextType)) entry->ContextB = reader.ReadString();
        std::string selected, fallback;
        for (int32_t i = 1; i < languageCount; ++i) {
            std::string text = TQxStringParser::DecodeEscapes(reader.ReadString());
            if (i == selectedIndex)
                selected = std::move(text);
            else if (i == fallbackIndex)
                fallback = std::move(text);
        }
        reader.ReadListEnd();
        if (!selected.empty()) {
            entry->Translation = std::move(selected);
            entry->State = 0;
        } else if (!fallback.empty()) {
            entry->Translation = std::move(fallback);
            entry->State = 1;
        } else {
            continue;  // state 2: no text for this language, the entry goes
        }
        add(std::move(entry));
    }
    reader.ReadListEnd();
    return contextType != 0;
}

// ---- Walking a stored form description ----

// The model's skipper bounds the nesting, reads counted data in pieces and refuses negative
// lengths; only the message for an unknown value type is ours.
void SkipValue(kxc::TReader& reader) { reader.SkipValue(&UnknownValue); }

void SkipProperty(kxc::TReader& reader) {
    reader.ReadStr();
    SkipValue(reader);
}

void SkipComponent(kxc::TReader& reader) { SkipComponentAt(reader, 0); }

void SkipComponentBody(kxc::TReader& reader) { SkipComponentBodyAt(reader, 0); }

void ReadComponentHeader(kxc::TReader& reader, std::string& className, std::string& name) {
    uint8_t flags = 0;
    int32_t childPos = 0;
    reader.ReadPrefix(flags, childPos);
    className = reader.ReadStr();
    name = reader.ReadStr();
}

// Only the root's direct children are looked at: a dictionary belongs to its form.
void FindEmbeddedProperty(kxc::TReader& reader, const std::string& dictionaryClass,
                          const std::string& componentName, const std::string& propertyName) {
    reader.ReadSignature();
    std::string className, name;
    ReadComponentHeader(reader, className, name);
    while (!reader.EndOfList()) SkipProperty(reader);
    reader.ReadListEnd();
    for (;;) {
        if (reader.EndOfList()) PropertyNotFound();
        ReadComponentHeader(reader, className, name);
        if (className == dictionaryClass && name == componentName) break;
        SkipComponentBodyAt(reader, 1);
    }
    for (;;) {
        if (reader.EndOfList()) PropertyNotFound();
        if (reader.ReadStr() == propertyName) return;
        SkipValue(reader);
    }
}

// ---- The open property ----

TQxEmbeddedProperty::TQxEmbeddedProperty(const TQxEmbeddedSource& source,
                                         const std::string& propertyName)
    : stream_(std::make_unique<kxc::TResourceStream>(source.FormClass)),
      reader_(std::make_unique<TQxReader>(*stream_, 4096)) {
    FindEmbeddedProperty(*reader_, source.DictionaryClass, source.ComponentName, propertyName);
}

// The reader goes before the stream it reads from.
TQxEmbeddedProperty::~TQxEmbeddedProperty() {
    reader_.reset();
    stream_.reset();
}

// ---- Re-reading ----

// Items 0 to index pass through the same object, as the stored order gives them.
void ReadEmbeddedLanguage(const TQxEmbeddedSource& source, TQxLanguage& language, int32_t index) {
    TQxEmbeddedProperty property(source, "Languages");
    TQxReader& reader = property.Reader();
    const int32_t version = ReadDataVersion(reader, "language");
    reader.ReadInteger();
    for (int32_t i = 0; i <= index; ++i) ReadLanguageItem(reader, language, version);
}

void ReadEmbeddedLanguages(const TQxEmbeddedSource& source, TQxLanguageList& list) {
    TQxEmbeddedProperty property(source, "Languages");
    ReadLanguageList(property.Reader(), list);
}

void ReadEmbeddedLocale(const TQxEmbeddedSource& source, TQxLocale& locale, int32_t index) {
    TQxEmbeddedProperty property(source, "Locales");
    TQxReader& reader = property.Reader();
    const int32_t version = ReadDataVersion(reader, "locale");
    reader.ReadInteger();
    for (int32_t i = 0; i <= index; ++i) ReadLocaleItem(reader, locale, version);
}

void ReadEmbeddedLocales(const TQxEmbeddedSource& source, TQxLocaleList& list) {
    TQxEmbeddedProperty property(source, "Locales");
    ReadLocaleList(property.Reader(), list);
}

bool ReadEmbeddedTranslations(const TQxEmbeddedSource& source, const TQxTranslationSink& add,
                              int32_t languageCount, int32_t fallbackIndex,
                              int32_t selectedIndex) {
    TQxEmbeddedProperty property(source, "Translations");
    return ReadTranslationList(property.Reader(), selectedIndex, add, languageCount,
                               fallbackIndex);
}

}  // namespace qx
