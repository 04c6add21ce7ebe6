// Hand-written tokenizer and recursive-descent parser for the UPDATE statement shape.
#include "sql_parser.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace dbe::sql {

namespace {

enum class Tok { End, Word, Quoted, Param, Number, Punct, Bad };

struct Token {
    Tok kind = Tok::End;
    std::string text;
    bool doubleQuoted = false;
};

class Lexer {
public:
    explicit Lexer(const std::string& s) : s_(s) {}

    Token Next() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        Token t;
        if (pos_ >= s_.size()) return t;
        const char c = s_[pos_];
        if (IsWordChar(c) && !std::isdigit(static_cast<unsigned char>(c))) {
            size_t b = pos_;
            while (pos_ < s_.size() && (IsWordChar(s_[pos_]) || s_[pos_] == '.')) ++pos_;
            t.kind = Tok::Word;
            t.text = s_.substr(b, pos_ - b);
        } else if (c == '\'' || c == '"') {
            size_t e = s_.find(c, pos_ + 1);
            if (e == std::string::npos) {
                t.kind = Tok::Bad;
                t.text = "unterminated quoted text";
                pos_ = s_.size();
                return t;
            }
            t.kind = Tok::Quoted;
            t.doubleQuoted = c == '"';
            t.text = s_.substr(pos_ + 1, e - pos_ - 1);
            pos_ = e + 1;
        } else if (c == ':') {
            size_t b = ++pos_;
            while (pos_ < s_.size() && IsWordChar(s_[pos_])) ++pos_;
            t.kind = Tok::Param;
            t.text = s_.substr(b, pos_ - b);
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t b = pos_++;
            while (pos_ < s_.size() && (IsWordChar(s_[pos_]) || s_[pos_] == '.')) ++pos_;
            t.kind = Tok::Number;
            t.text = s_.substr(b, pos_ - b);
        } else {
            t.kind = Tok::Punct;
            t.text = std::string(1, c);
            ++pos_;
        }
        return t;
    }

private:
    static bool IsWordChar(char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    }
    const std::string& s_;
    size_t pos_ = 0;
};

bool IsKeyword(const Token& t, const char* kw) {
    if (t.kind != Tok::Word) return false;
    size_t i = 0;
    for (; kw[i]; ++i)
        if (i >= t.text.size() || std::toupper(static_cast<unsigned char>(t.text[i])) != kw[i]) return false;
    return i == t.text.size();
}

std::string Describe(const Token& t) {
    switch (t.kind) {
    case Tok::End: return "end of statement";
    case Tok::Quoted: return "quoted text '" + t.text + "'";
    case Tok::Param: return "parameter :" + t.text;
    default: return "'" + t.text + "'";
    }
}

bool Unsupported(std::string& error, const std::string& what) {
    error = "Unsupported SQL: " + what;
    return false;
}

bool ParseInt(const std::string& text, int32_t& v) {
    errno = 0;
    char* end = nullptr;
    long long r = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || r < INT32_MIN || r > INT32_MAX) return false;
    v = int32_t(r);
    return true;
}

}  // namespace

bool ParseUpdate(const std::string& text, TUpdateStatement& out, std::string& error) {
    Lexer lx(text);
    Token t = lx.Next();
    if (t.kind == Tok::End) return Unsupported(error, "empty statement");
    if (!IsKeyword(t, "UPDATE")) {
        if (t.kind == Tok::Word)
            return Unsupported(error, "statement " + Describe(t) + " (only UPDATE ... SET ... is supported)");
        return Unsupported(error, Describe(t) + " at the start of the statement");
    }
    TUpdateStatement st;
    t = lx.Next();
    if (t.kind == Tok::Quoted || (t.kind == Tok::Word && !IsKeyword(t, "SET"))) {
        st.Table = t.text;
    } else {
        return Unsupported(error, "table name expected after UPDATE, found " + Describe(t));
    }
    if (st.Table.empty()) return Unsupported(error, "empty table name");
    t = lx.Next();
    if (!IsKeyword(t, "SET")) {
        if (t.kind == Tok::Punct && t.text == ",") return Unsupported(error, "more than one table");
        return Unsupported(error, Describe(t) + " after the table name (SET expected)");
    }
    for (;;) {
        TAssignment a;
        t = lx.Next();
        if (t.kind == Tok::Quoted && t.doubleQuoted) {
            a.Field = t.text;
        } else if (t.kind == Tok::Word && !IsKeyword(t, "WHERE")) {
            if (t.text.find('.') != std::string::npos)
                return Unsupported(error, "qualified field name " + Describe(t));
            a.Field = t.text;
        } else {
            return Unsupported(error, "field name expected in SET, found " + Describe(t));
        }
        for (const TAssignment& prev : st.Set) {
            bool same = prev.Field.size() == a.Field.size();
            for (size_t i = 0; same && i < a.Field.size(); ++i)
                same = std::toupper(static_cast<unsigned char>(prev.Field[i])) ==
                       std::toupper(static_cast<unsigned char>(a.Field[i]));
            if (same) return Unsupported(error, "field '" + a.Field + "' assigned twice");
        }
        t = lx.Next();
        if (!(t.kind == Tok::Punct && t.text == "="))
            return Unsupported(error, Describe(t) + " after field '" + a.Field + "' (= expected)");
        t = lx.Next();
        std::string sign;
        if (t.kind == Tok::Punct && (t.text == "-" || t.text == "+")) {
            sign = t.text;
            t = lx.Next();
            if (t.kind != Tok::Number)
                return Unsupported(error, "value " + Describe(t) + " after sign '" + sign + "' for field '" +
                                              a.Field + "'");
        }
        if (t.kind == Tok::Param) {
            if (t.text.empty()) return Unsupported(error, "parameter without a name");
            a.IsParam = true;
            a.Param = t.text;
        } else if (t.kind == Tok::Number) {
            if (!ParseInt(sign + t.text, a.Value))
                return Unsupported(error, "value " + Describe(t) + " for field '" + a.Field +
                                              "' (only parameters and integer literals)");
        } else {
            return Unsupported(error, "value " + Describe(t) + " for field '" + a.Field +
                                          "' (only parameters and integer literals)");
        }
        st.Set.push_back(std::move(a));
        t = lx.Next();
        if (t.kind == Tok::Punct && t.text == ",") continue;
        break;
    }
    if (t.kind == Tok::Punct && t.text == ";") t = lx.Next();
    if (t.kind == Tok::End) {
        out = std::move(st);
        return true;
    }
    if (IsKeyword(t, "WHERE")) return Unsupported(error, "WHERE clause");
    if (t.kind == Tok::Bad) return Unsupported(error, t.text);
    if (t.kind == Tok::Punct && (t.text == "+" || t.text == "-" || t.text == "*" || t.text == "/" || t.text == "|"))
        return Unsupported(error, "expression with operator '" + t.text + "'");
    return Unsupported(error, Describe(t) + " after the SET list");
}

}  // namespace dbe::sql
