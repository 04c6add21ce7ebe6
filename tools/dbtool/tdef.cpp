#include "tdef.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "codepage.h"
#include "rtl/strutil.h"

namespace dbtool {
namespace {

using dbe::TFieldType;

struct Token {
    std::string text;
    bool quoted = false;   // a "..." value (escapes resolved)
};

bool AllDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// Splits a line into tokens; "..." inside a token (key="value") is one quoted part. A '#'
// that begins a token starts a comment, except the BCD type "#<n>" in a field's type slot.
bool Tokenize(const std::string& line, std::vector<Token>& out, std::string& error) {
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i >= line.size()) break;
        if (line[i] == '#') {
            bool bcdType = out.size() == 2 && out[0].text == "field" && i + 1 < line.size() &&
                           std::isdigit(static_cast<unsigned char>(line[i + 1]));
            if (!bcdType) break;
        }
        Token t;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
            if (line[i] == '"') {
                t.quoted = true;
                ++i;
                bool closed = false;
                while (i < line.size()) {
                    char c = line[i++];
                    if (c == '\\' && i < line.size()) {
                        t.text += line[i++];
                    } else if (c == '"') {
                        closed = true;
                        break;
                    } else {
                        t.text += c;
                    }
                }
                if (!closed) {
                    error = "unterminated quoted text";
                    return false;
                }
            } else {
                t.text += line[i++];
            }
        }
        out.push_back(t);
    }
    return true;
}

bool ParseType(const std::string& s, TFieldType& type, int& size) {
    if (s.empty()) return false;
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    std::string rest = s.substr(1);
    size = 0;
    auto sized = [&](TFieldType t, bool needSize) {
        if (rest.empty()) {
            if (needSize) return false;
        } else {
            if (!AllDigits(rest)) return false;
            size = std::atoi(rest.c_str());
        }
        type = t;
        return true;
    };
    switch (c) {
    case 'A': return sized(TFieldType::String, true);
    case 'S': return rest.empty() && sized(TFieldType::Smallint, false);
    case 'I': return rest.empty() && sized(TFieldType::Integer, false);
    case 'L': return rest.empty() && sized(TFieldType::Boolean, false);
    case 'D': return rest.empty() && sized(TFieldType::Date, false);
    case 'T': return rest.empty() && sized(TFieldType::Time, false);
    case 'N': return rest.empty() && sized(TFieldType::Float, false);
    case '$': return rest.empty() && sized(TFieldType::Currency, false);
    case '+': return rest.empty() && sized(TFieldType::AutoInc, false);
    case '@': return rest.empty() && sized(TFieldType::TimeStamp, false);
    case 'M': return sized(TFieldType::Memo, true);
    case 'G': return sized(TFieldType::Graphic, false);
    case 'B': return sized(TFieldType::Blob, false);
    case 'F': return sized(TFieldType::FmtMemo, true);
    case 'O': return sized(TFieldType::OLE, false);
    case 'Y': return sized(TFieldType::Bytes, true);
    case '#': return sized(TFieldType::BCD, false);
    default: return false;
    }
}

}  // namespace

bool ParseDefinition(const std::string& text, dbe::detail::CreateSpec& spec, std::string& error) {
    spec = dbe::detail::CreateSpec();
    spec.tableName.clear();
    std::size_t lineNo = 0, pos = 0;
    auto fail = [&](const std::string& what) {
        error = rtl::Format("line %u: ", static_cast<unsigned>(lineNo)) + what;
        return false;
    };
    while (pos <= text.size()) {
        std::size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() + 1 : nl + 1;
        ++lineNo;
        if (lineNo == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line = line.substr(3);
        std::vector<Token> tok;
        std::string terr;
        if (!Tokenize(line, tok, terr)) return fail(terr);
        if (tok.empty()) continue;
        const std::string& d = tok[0].text;
        auto number = [&](int& out) {
            if (tok.size() != 2 || !AllDigits(tok[1].text)) return false;
            out = std::atoi(tok[1].text.c_str());
            return true;
        };
        if (d == "table") {
            if (tok.size() != 2 || tok[1].text.empty()) return fail("table needs one name");
            spec.tableName = tok[1].text;
        } else if (d == "level") {
            if (!number(spec.level)) return fail("level needs a number");
        } else if (d == "blocksize") {
            if (!number(spec.blockSize)) return fail("blocksize needs a number");
        } else if (d == "codepage") {
            int cp;
            if (!number(cp) || cp <= 0 || cp > 65535) return fail("codepage needs a number");
            spec.codePage = static_cast<uint16_t>(cp);
        } else if (d == "sortorder") {
            if (tok.size() != 2) return fail("sortorder needs one name");
            spec.sortOrder = tok[1].text;
        } else if (d == "field") {
            if (tok.size() < 3) return fail("field needs a name and a type");
            dbe::detail::FieldSpec f;
            f.name = tok[1].text;
            if (!ParseType(tok[2].text, f.type, f.size)) return fail("unknown field type '" + tok[2].text + "'");
            for (std::size_t i = 3; i < tok.size(); ++i) {
                const std::string& a = tok[i].text;
                auto eq = a.find('=');
                std::string key = eq == std::string::npos ? a : a.substr(0, eq);
                if (tok[i].quoted && eq == std::string::npos) return fail("value without an attribute");
                if (key == "key" && eq == std::string::npos) f.key = true;
                else if (key == "required" && eq == std::string::npos) f.required = true;
                else if (eq != std::string::npos && (key == "min" || key == "max" || key == "default")) {
                    std::string v = a.substr(eq + 1);
                    if (v.empty() && !tok[i].quoted) return fail(key + " needs a value");
                    bool blank = !tok[i].quoted && v == "blank";
                    if (blank) v.clear();
                    if (key == "min") { f.hasMin = true; f.minValue = v; }
                    else if (key == "max") { f.hasMax = true; f.maxValue = v; }
                    else {
                        f.hasDefault = true;
                        f.defaultValue = v;
                    }
                } else {
                    return fail("unknown attribute '" + a + "'");
                }
            }
            spec.fields.push_back(f);
        } else if (d == "index") {
            if (tok.size() != 3) return fail("index needs a name and one field");
            spec.indexes.push_back(dbe::detail::IndexSpec{tok[1].text, {tok[2].text}});
        } else {
            return fail("unknown directive '" + d + "'");
        }
    }
    if (spec.tableName.empty()) {
        lineNo = 0;
        return fail("no table name");
    }
    // Text values are UTF-8 in the file and stored in the table's code page.
    for (auto& f : spec.fields)
        for (std::string* v : {&f.minValue, &f.maxValue, &f.defaultValue}) {
            std::string conv;
            if (!Utf8ToCodePage(*v, spec.codePage, conv)) {
                lineNo = 0;
                return fail("value of field " + f.name + " has characters outside code page " +
                            std::to_string(spec.codePage));
            }
            *v = conv;
        }
    for (auto& ix : spec.indexes) {
        bool found = false;
        for (auto& f : spec.fields) found = found || rtl::AsciiSameText(f.name, ix.fields[0]);
        if (!found) {
            lineNo = 0;
            return fail("index " + ix.name + " names no field of the table");
        }
    }
    return true;
}

}  // namespace dbtool
