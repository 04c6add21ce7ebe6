// Unit QxParser: cuts a text into tokens at a one-character delimiter, decodes the '#'
// escapes of the localisation runtime and converts texts to integers by the run time's rules.
//
// Raises: rtl::EConvertError ("'%s' is not a valid integer value") from StrToInt and
// TQxStringParser::NextInteger; nothing else raises.
// Ownership: a parser keeps its own copy of the text.
#pragma once

#include <cstdint>
#include <string>

namespace qx {

// The run time's string-to-integer rule: leading blanks, an optional "+" or "-", then decimal
// digits or "$" and hexadecimal digits, nothing after them; the value must fit in 32 bits.
// TryStrToInt reports a text that breaks the rule by false and leaves `value` alone.
bool TryStrToInt(const std::string& text, int32_t& value);
// The same, raising rtl::EConvertError for a text that is not an integer.
int32_t StrToInt(const std::string& text);

class TQxStringParser {
public:
    TQxStringParser(const std::string& text, char delimiter);
    virtual ~TQxStringParser();
    virtual const char* ClassName() const { return "TQxStringParser"; }

    // Starts over on a new text: Position 1, Size = length + 1.
    void SetText(const std::string& text);
    // True once every character has been read (Position >= Size).
    bool EndOfText() const { return Position >= Size; }
    // The characters up to the next delimiter (or the end); moves past that delimiter.
    // A delimiter at the very end yields no empty last token; reading on after the end
    // yields empty tokens. An empty text gives an empty token and nothing moves.
    std::string NextToken();
    // NextToken converted by StrToInt; raises rtl::EConvertError.
    int32_t NextInteger();

    // Undoes the escapes "##", "#C", "#L", "#T"; "#" before any other character and a "#"
    // at the very end stay as they are. The result is never longer than the text.
    static std::string DecodeEscapes(const std::string& text);
    // The escapes that DecodeEscapes undoes: '#' as "##", carriage return, line feed and tab
    // as "#C", "#L", "#T".
    static std::string EncodeEscapes(const std::string& text);

    int32_t Position = 1;    // 1-based index of the next character
    int32_t Size = 1;        // length of Text plus 1
    char Delimiter = ',';    // may be changed between two tokens
    std::string Text;
    bool Escapes = false;    // decode the escapes of every token that holds a '#'
};

}  // namespace qx
