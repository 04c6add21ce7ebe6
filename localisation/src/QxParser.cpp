#include "qx/QxParser.h"

#include "rtl/exceptions.h"
#include "rtl/resstrings.h"
#include "rtl/strutil.h"

namespace qx {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

// A hexadecimal text may use all 32 bits ("$FFFFFFFF" is -1), the way such constants are
// written for flag words; a decimal text must fit the signed range.
bool TryStrToInt(const std::string& text, int32_t& value) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    uint64_t magnitude = 0;
    if (i < n && text[i] == '$') {
        ++i;
        if (i == n) return false;
        for (; i < n; ++i) {
            int d = HexDigit(text[i]);
            if (d < 0) return false;
            magnitude = magnitude * 16 + static_cast<uint64_t>(d);
            if (magnitude > 0xFFFFFFFFull) return false;
        }
        uint32_t bits = static_cast<uint32_t>(magnitude);
        if (negative) bits = 0u - bits;
        value = static_cast<int32_t>(bits);
        return true;
    }
    if (i == n) return false;
    const uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    for (; i < n; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
        if (magnitude > limit) return false;
    }
    int64_t v = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    value = static_cast<int32_t>(v);
    return true;
}

int32_t StrToInt(const std::string& text) {
    int32_t value = 0;
    if (!TryStrToInt(text, value))
        throw rtl::EConvertError(rtl::FormatResString(&rtl::SInvalidInteger, text.c_str()));
    return value;
}

TQxStringParser::TQxStringParser(const std::string& text, char delimiter)
    : Delimiter(delimiter) {
    SetText(text);
}

TQxStringParser::~TQxStringParser() = default;

void TQxStringParser::SetText(const std::string& text) {
    Text = text;
    Size = static_cast<int32_t>(Text.size()) + 1;
    Position = 1;
}

std::string TQxStringParser::NextToken() {
    if (Text.empty()) return std::string();
    const int32_t start = Position;
    while (Position < Size && Text[static_cast<size_t>(Position - 1)] != Delimiter) ++Position;
    std::string token;
    if (Position > start)
        token = Text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(Position - start));
    ++Position;
    if (Escapes && token.find('#') != std::string::npos) token = DecodeEscapes(token);
    return token;
}

int32_t TQxStringParser::NextInteger() {
    return StrToInt(NextToken());
}

std::string TQxStringParser::DecodeEscapes(const std::string& text) {
    std::string out(text.size(), '\0');
    size_t w = 0;
    const size_t n = text.size();
    for (size_t r = 0; r < n; ++r) {
        char c = text[r];
        if (c != '#' || r + 1 == n) {
            out[w++] = c;
            continue;
        }
        char next = text[++r];
        switch (next) {
            case '#': out[w++] = '#'; break;
            case 'C': out[w++] = '\r'; break;
            case 'L': out[w++] = '\n'; break;
            case 'T': out[w++] = '\t'; break;
            default:
                out[w++] = '#';
                out[w++] = next;
                break;
        }
    }
    out.resize(w);
    return out;
}

std::string TQxStringParser::EncodeEscapes(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '#': out += "##"; break;
            case '\r': out += "#C"; break;
            case '\n': out += "#L"; break;
            case '\t': out += "#T"; break;
            default: out += c; break;
        }
    }
    return out;
}

}  // namespace qx
