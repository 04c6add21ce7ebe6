#include "formtext.h"

#include <cerrno>
#include <cctype>
#include <cstdlib>

#include "components/filer.h"
#include "rtl/strutil.h"

namespace formtext {

namespace {

using kxc::TWriter;

enum class Tok { End, Ident, Integer, Float, String, Symbol, Binary };

struct Token {
    Tok kind = Tok::End;
    std::string text;        // identifier, symbol, float text, binary hex
    int64_t integer = 0;
    std::u16string str;      // string value as code units
    bool wide = false;       // a unit above 255
    char suffix = 0;         // float suffix: s, c, d
    int line = 1;
};

class Parser {
public:
    Parser(const std::string& text, const std::string& file, TWriter& w) : src_(text), file_(file), w_(w) {
        Next();
    }

    std::string ParseRoot() {
        std::string cls = ParseObject(true);
        if (tok_.kind != Tok::End) Fail("text after the end of the root object");
        return cls;
    }

private:
    [[noreturn]] void Fail(const std::string& msg) const {
        throw rtl::Exception(rtl::Format("%s(%d): %s", file_.c_str(), tok_.line, msg.c_str()));
    }

    bool IsKeyword(const char* kw) const { return tok_.kind == Tok::Ident && rtl::AsciiSameText(tok_.text, kw); }
    bool IsSymbol(char c) const { return tok_.kind == Tok::Symbol && tok_.text[0] == c; }
    void Expect(char c) {
        if (!IsSymbol(c)) Fail(std::string("'") + c + "' expected");
        Next();
    }
    std::string ExpectIdent(const char* what) {
        if (tok_.kind != Tok::Ident) Fail(std::string(what) + " expected");
        std::string s = tok_.text;
        Next();
        return s;
    }

    void SkipBlanks() {
        for (;;) {
            while (pos_ < src_.size() && (src_[pos_] == ' ' || src_[pos_] == '\t' || src_[pos_] == '\r' ||
                                          src_[pos_] == '\n')) {
                if (src_[pos_] == '\n') ++line_;
                ++pos_;
            }
            if (pos_ + 1 < src_.size() && src_[pos_] == '/' && src_[pos_ + 1] == '/') {
                while (pos_ < src_.size() && src_[pos_] != '\n') ++pos_;
                continue;
            }
            break;
        }
    }

    static bool IdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
    static bool IdentChar(char c) { return IdentStart(c) || (c >= '0' && c <= '9'); }

    // One string value: quoted parts and #n characters, adjacent or joined by "+".
    void LexString() {
        tok_.kind = Tok::String;
        for (;;) {
            if (pos_ < src_.size() && src_[pos_] == '\'') {
                ++pos_;
                for (;;) {
                    if (pos_ >= src_.size() || src_[pos_] == '\n') Fail("unterminated string");
                    if (src_[pos_] == '\'') {
                        if (pos_ + 1 < src_.size() && src_[pos_ + 1] == '\'') {
                            tok_.str += u'\'';
                            pos_ += 2;
                            continue;
                        }
                        ++pos_;
                        break;
                    }
                    tok_.str += char16_t(static_cast<unsigned char>(src_[pos_++]));
                }
            } else if (pos_ < src_.size() && src_[pos_] == '#') {
                ++pos_;
                size_t start = pos_;
                long v = 0;
                if (pos_ < src_.size() && src_[pos_] == '$') {
                    ++pos_;
                    start = pos_;
                    while (pos_ < src_.size() && std::isxdigit(static_cast<unsigned char>(src_[pos_]))) ++pos_;
                    v = std::strtol(src_.substr(start, pos_ - start).c_str(), nullptr, 16);
                } else {
                    while (pos_ < src_.size() && src_[pos_] >= '0' && src_[pos_] <= '9') ++pos_;
                    v = std::strtol(src_.substr(start, pos_ - start).c_str(), nullptr, 10);
                }
                if (pos_ == start || v < 0 || v > 0xFFFF) Fail("bad character code");
                if (v > 255) tok_.wide = true;
                tok_.str += char16_t(v);
            } else {
                break;
            }
            // Parts written without blanks between them, or joined by "+" (also across lines),
            // make one string.
            if (pos_ < src_.size() && (src_[pos_] == '\'' || src_[pos_] == '#')) continue;
            size_t save = pos_;
            int saveLine = line_;
            SkipBlanks();
            if (pos_ < src_.size() && src_[pos_] == '+') {
                ++pos_;
                SkipBlanks();
                if (pos_ >= src_.size() || (src_[pos_] != '\'' && src_[pos_] != '#')) Fail("string expected after '+'");
            } else {
                pos_ = save;
                line_ = saveLine;
                break;
            }
        }
    }

    void LexNumber() {
        size_t start = pos_;
        bool neg = false;
        if (src_[pos_] == '-') {
            neg = true;
            ++pos_;
        }
        if (pos_ < src_.size() && src_[pos_] == '$') {
            ++pos_;
            size_t hs = pos_;
            while (pos_ < src_.size() && std::isxdigit(static_cast<unsigned char>(src_[pos_]))) ++pos_;
            if (pos_ == hs) Fail("hex digits expected");
            errno = 0;
            unsigned long long v = std::strtoull(src_.substr(hs, pos_ - hs).c_str(), nullptr, 16);
            if (errno) Fail("number out of range");
            tok_.kind = Tok::Integer;
            tok_.integer = neg ? -int64_t(v) : int64_t(v);
            return;
        }
        size_t ds = pos_;
        while (pos_ < src_.size() && src_[pos_] >= '0' && src_[pos_] <= '9') ++pos_;
        if (pos_ == ds) Fail("number expected");
        bool isFloat = false;
        if (pos_ < src_.size() && src_[pos_] == '.' && pos_ + 1 < src_.size() && src_[pos_ + 1] >= '0' &&
            src_[pos_ + 1] <= '9') {
            isFloat = true;
            ++pos_;
            while (pos_ < src_.size() && src_[pos_] >= '0' && src_[pos_] <= '9') ++pos_;
        }
        if (pos_ < src_.size() && (src_[pos_] == 'e' || src_[pos_] == 'E')) {
            isFloat = true;
            ++pos_;
            if (pos_ < src_.size() && (src_[pos_] == '+' || src_[pos_] == '-')) ++pos_;
            while (pos_ < src_.size() && src_[pos_] >= '0' && src_[pos_] <= '9') ++pos_;
        }
        std::string text = src_.substr(start, pos_ - start);
        if (pos_ < src_.size() && (src_[pos_] == 's' || src_[pos_] == 'c' || src_[pos_] == 'd') &&
            !(pos_ + 1 < src_.size() && IdentChar(src_[pos_ + 1]))) {
            isFloat = true;
            tok_.suffix = src_[pos_++];
        }
        if (isFloat) {
            tok_.kind = Tok::Float;
            tok_.text = text;
            return;
        }
        errno = 0;
        long long v = std::strtoll(text.c_str(), nullptr, 10);
        if (errno) Fail("number out of range");
        tok_.kind = Tok::Integer;
        tok_.integer = v;
    }

    void Next() {
        SkipBlanks();
        tok_ = Token();
        tok_.line = line_;
        if (pos_ >= src_.size()) return;
        char c = src_[pos_];
        if (IdentStart(c)) {
            size_t s = pos_;
            while (pos_ < src_.size() && (IdentChar(src_[pos_]) || (src_[pos_] == '.' && pos_ + 1 < src_.size() &&
                                                                    IdentStart(src_[pos_ + 1]))))
                ++pos_;
            tok_.kind = Tok::Ident;
            tok_.text = src_.substr(s, pos_ - s);
        } else if (c == '\'' || c == '#') {
            LexString();
        } else if ((c >= '0' && c <= '9') || c == '$' || (c == '-' && pos_ + 1 < src_.size())) {
            LexNumber();
        } else if (c == '{') {
            ++pos_;
            std::string hex;
            for (;;) {
                if (pos_ >= src_.size()) Fail("unterminated binary data");
                char h = src_[pos_++];
                if (h == '}') break;
                if (h == '\n') ++line_;
                if (h == ' ' || h == '\t' || h == '\r' || h == '\n') continue;
                if (!std::isxdigit(static_cast<unsigned char>(h))) Fail("hex digit expected in binary data");
                hex += h;
            }
            if (hex.size() % 2) Fail("odd number of hex digits in binary data");
            tok_.kind = Tok::Binary;
            tok_.text = hex;
        } else if (std::string("=:[](),<>").find(c) != std::string::npos) {
            ++pos_;
            tok_.kind = Tok::Symbol;
            tok_.text = std::string(1, c);
        } else {
            Fail(std::string("unexpected character '") + c + "'");
        }
    }

    std::string ParseObject(bool root) {
        uint8_t flags = 0;
        if (IsKeyword("inherited"))
            flags |= kxc::ffInherited;
        else if (IsKeyword("inline"))
            flags |= kxc::ffInline;
        else if (!IsKeyword("object"))
            Fail("'object' expected");
        Next();
        std::string name = ExpectIdent("name");
        std::string cls;
        if (IsSymbol(':')) {
            Next();
            cls = ExpectIdent("class name");
        } else {
            cls = name;
            name.clear();
        }
        int32_t childPos = 0;
        if (IsSymbol('[')) {
            Next();
            if (tok_.kind != Tok::Integer) Fail("child position expected");
            childPos = int32_t(tok_.integer);
            flags |= kxc::ffChildPos;
            Next();
            Expect(']');
        }
        if (root) w_.WriteSignature();
        w_.WritePrefix(flags, childPos);
        w_.WriteStr(cls);
        w_.WriteStr(name);
        // Properties first, then children.
        while (!IsKeyword("end") && !IsKeyword("object") && !IsKeyword("inherited") && !IsKeyword("inline")) {
            if (tok_.kind == Tok::End) Fail("'end' expected");
            ParseProperty();
        }
        w_.WriteListEnd();
        while (!IsKeyword("end")) {
            if (tok_.kind == Tok::End) Fail("'end' expected");
            if (!IsKeyword("object") && !IsKeyword("inherited") && !IsKeyword("inline"))
                Fail("properties must come before the child objects");
            ParseObject(false);
        }
        Next();  // end
        w_.WriteListEnd();
        return cls;
    }

    void ParseProperty() {
        std::string name = ExpectIdent("property name");
        Expect('=');
        w_.WriteStr(name);
        ParseValue();
    }

    void ParseValue() {
        switch (tok_.kind) {
        case Tok::Integer:
            w_.WriteInteger(tok_.integer);
            Next();
            return;
        case Tok::Float: {
            double v = std::strtod(tok_.text.c_str(), nullptr);
            if (tok_.suffix == 's')
                w_.WriteSingle(float(v));
            else if (tok_.suffix == 'c')
                w_.WriteCurrency(v);
            else if (tok_.suffix == 'd')
                w_.WriteDate(v);
            else
                w_.WriteFloat(v);
            Next();
            return;
        }
        case Tok::String: {
            if (tok_.wide) {
                w_.WriteWideString(tok_.str);
            } else {
                std::string s;
                for (char16_t ch : tok_.str) s += char(ch);
                w_.WriteString(s);
            }
            Next();
            return;
        }
        case Tok::Ident:
            w_.WriteIdent(tok_.text);
            Next();
            return;
        case Tok::Binary: {
            std::string bytes;
            for (size_t i = 0; i < tok_.text.size(); i += 2)
                bytes += char(std::strtol(tok_.text.substr(i, 2).c_str(), nullptr, 16));
            w_.WriteBinary(bytes);
            Next();
            return;
        }
        case Tok::Symbol:
            break;
        case Tok::End:
            Fail("value expected");
        }
        if (IsSymbol('[')) {
            Next();
            w_.WriteValue(kxc::vaSet);
            while (!IsSymbol(']')) {
                w_.WriteStr(ExpectIdent("set element"));
                if (IsSymbol(','))
                    Next();
                else if (!IsSymbol(']'))
                    Fail("',' or ']' expected");
            }
            Next();
            w_.WriteStr("");
        } else if (IsSymbol('(')) {
            Next();
            w_.WriteListBegin();
            while (!IsSymbol(')')) {
                if (tok_.kind == Tok::End) Fail("')' expected");
                ParseValue();
            }
            Next();
            w_.WriteListEnd();
        } else if (IsSymbol('<')) {
            Next();
            w_.WriteValue(kxc::vaCollection);
            while (!IsSymbol('>')) {
                if (!IsKeyword("item")) Fail("'item' expected");
                Next();
                if (IsSymbol('[')) {
                    Next();
                    if (tok_.kind != Tok::Integer) Fail("item order expected");
                    w_.WriteInteger(tok_.integer);
                    Next();
                    Expect(']');
                }
                w_.WriteListBegin();
                while (!IsKeyword("end")) {
                    if (tok_.kind == Tok::End) Fail("'end' expected");
                    ParseProperty();
                }
                Next();
                w_.WriteListEnd();
            }
            Next();
            w_.WriteListEnd();
        } else {
            Fail("value expected");
        }
    }

    const std::string& src_;
    std::string file_;
    TWriter& w_;
    size_t pos_ = 0;
    int line_ = 1;
    Token tok_;
};

}  // namespace

CompiledForm CompileFormText(const std::string& text, const std::string& fileName) {
    kxc::TMemoryStream stream;
    kxc::TWriter writer(stream);
    Parser parser(text, fileName, writer);
    CompiledForm r;
    r.RootClass = parser.ParseRoot();
    r.Bytes = stream.Bytes();
    return r;
}

}  // namespace formtext
