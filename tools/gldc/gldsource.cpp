#include "gldsource.h"

#include <cstdlib>
#include <map>
#include <sstream>

#include "rtl/codepage.h"
#include "rtl/exceptions.h"

namespace gldwriter {

namespace {

struct Line {
    int Number = 0;
    std::string Keyword;
    std::string Value;
    bool Quoted = false;
};

class Parser {
public:
    Parser(const std::string& fileName) : file_(fileName) {}

    [[noreturn]] void Fail(const Line& l, const std::string& message) const {
        throw rtl::Exception(file_ + "(" + std::to_string(l.Number) + "): " + message);
    }

    // Keyword, then one value: a number or word, or a quoted text.
    Line Split(const std::string& raw, int number) const {
        Line l;
        l.Number = number;
        size_t i = raw.find_first_not_of(" \t");
        if (i == std::string::npos || raw[i] == '#') return l;
        size_t end = raw.find_first_of(" \t", i);
        l.Keyword = raw.substr(i, end == std::string::npos ? std::string::npos : end - i);
        i = end == std::string::npos ? raw.size() : raw.find_first_not_of(" \t", end);
        if (i == std::string::npos || i >= raw.size() || raw[i] == '#') return l;
        if (raw[i] == '"') {
            l.Quoted = true;
            for (++i;; ++i) {
                if (i >= raw.size()) Fail(l, "unterminated text");
                if (raw[i] == '"') {
                    if (i + 1 < raw.size() && raw[i + 1] == '"') {
                        l.Value += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                l.Value += raw[i];
            }
        } else {
            end = raw.find_first_of(" \t#", i);
            l.Value = raw.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? raw.size() : end;
        }
        size_t rest = raw.find_first_not_of(" \t", i);
        if (rest != std::string::npos && raw[rest] != '#') Fail(l, "unexpected text after the value");
        return l;
    }

    long Number(const Line& l, long max) const {
        if (l.Quoted || l.Value.empty()) Fail(l, "a number is expected");
        char* end = nullptr;
        long v = std::strtol(l.Value.c_str(), &end, 0);
        if (*end != '\0' || v < 0 || v > max) Fail(l, "a number from 0 to " + std::to_string(max) + " is expected");
        return v;
    }

    std::string Text(const Line& l, int32_t codePage) const {
        if (!l.Quoted) Fail(l, "a quoted text is expected");
        std::string out;
        if (!rtl::Utf8ToCodePage(l.Value, codePage, out))
            Fail(l, "the text has a character that code page " + std::to_string(codePage) + " lacks");
        return out;
    }

    std::string file_;
};

}  // namespace

Dictionary ParseSource(const std::string& text, const std::string& fileName) {
    Parser p(fileName);
    Dictionary d;
    std::map<std::string, size_t> tags;   // language tag -> index
    std::vector<bool> textsAreNative;
    Language* language = nullptr;
    Translation* entry = nullptr;
    // Texts of the entries by language index, filled once all languages are known.
    std::vector<std::map<size_t, Line>> entryTexts;

    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        Line l = p.Split(raw, number);
        const std::string& k = l.Keyword;
        if (k.empty()) continue;
        if (k == "language") {
            if (entry) p.Fail(l, "languages come before the entries");
            if (l.Value.empty() || tags.count(l.Value)) p.Fail(l, "a new language tag is expected");
            tags[l.Value] = d.Languages.size();
            d.Languages.emplace_back();
            textsAreNative.push_back(false);
            language = &d.Languages.back();
        } else if (k == "entry") {
            d.Translations.emplace_back();
            entry = &d.Translations.back();
            entry->Native = p.Text(l, d.SystemCodePage);
            entryTexts.emplace_back();
            language = nullptr;
        } else if (entry) {
            if (k == "context-a") {
                entry->ContextA = p.Text(l, d.SystemCodePage);
            } else if (k == "context-b") {
                entry->ContextB = p.Text(l, d.SystemCodePage);
            } else {
                auto tag = tags.find(k);
                if (tag == tags.end() || tag->second == 0) p.Fail(l, "unknown language tag " + k);
                if (!l.Quoted) p.Fail(l, "a quoted text is expected");
                if (!entryTexts.back().emplace(tag->second, l).second) p.Fail(l, "second text for " + k);
            }
        } else if (language) {
            Language& g = *language;
            const int32_t sys = d.SystemCodePage;
            if (k == "primary") g.PrimaryId = uint16_t(p.Number(l, 0x3FF));
            else if (k == "default-sub") g.DefaultSubId = uint16_t(p.Number(l, 0x3F));
            else if (k == "charset") g.Charset = uint16_t(p.Number(l, 255));
            else if (k == "code-page") g.CodePage = uint16_t(p.Number(l, 0xFFFF));
            else if (k == "flags") g.Flags = uint8_t(p.Number(l, 255));
            else if (k == "font-size") g.FontSize = uint8_t(p.Number(l, 255));
            else if (k == "sub-languages") g.SubLanguages = p.Text(l, sys);
            else if (k == "sub-language-texts") g.SubLanguageTexts = p.Text(l, sys);
            else if (k == "language-code") g.LanguageCode = p.Text(l, sys);
            else if (k == "country-code") g.CountryCode = p.Text(l, sys);
            else if (k == "english") g.EnglishName = p.Text(l, sys);
            else if (k == "native") g.NativeName = p.Text(l, g.CodePage);
            else if (k == "font") g.FontName = p.Text(l, sys);
            else if (k == "texts" && !l.Quoted && l.Value == "native") textsAreNative.back() = true;
            else p.Fail(l, "unknown language setting " + k);
        } else {
            if (k == "version") d.Version = uint8_t(p.Number(l, 255));
            else if (k == "contexts") d.ContextType = uint8_t(p.Number(l, 255));
            else if (k == "system-code-page") d.SystemCodePage = int32_t(p.Number(l, 0xFFFF));
            else if (k == "byte-order" && (l.Value == "little" || l.Value == "big")) d.LittleEndian = l.Value == "little";
            else if (k == "strings" && (l.Value == "8-bit" || l.Value == "utf-16")) d.AnsiStrings = l.Value == "8-bit";
            else p.Fail(l, "unknown setting " + k);
        }
    }

    for (size_t e = 0; e < d.Translations.size(); ++e) {
        Translation& t = d.Translations[e];
        t.Texts.assign(d.Languages.empty() ? 0 : d.Languages.size() - 1, std::string());
        for (size_t i = 1; i < d.Languages.size(); ++i) {
            auto given = entryTexts[e].find(i);
            if (given != entryTexts[e].end())
                t.Texts[i - 1] = p.Text(given->second, d.Languages[i].CodePage);
            else if (textsAreNative[i])
                t.Texts[i - 1] = t.Native;
        }
    }
    return d;
}

}  // namespace gldwriter
