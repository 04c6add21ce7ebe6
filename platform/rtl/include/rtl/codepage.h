// 8-bit code-page text without the system's conversion services, for host tools and portable
// code: the Windows code pages 1251 (Cyrillic) and 1252 (Western) by table, ASCII for every
// other code page.
//
// Raises: nothing. Ownership: plain values.
#pragma once

#include <cstdint>
#include <string>

namespace rtl {

// True for the code pages known by table (1251, 1252).
bool IsTableCodePage(int codePage);
// The Unicode character of a byte in the code page; 0 where the code page has none (bytes
// from 0x80 on of a code page not known by table).
uint32_t CodePageCharToUnicode(int codePage, unsigned char byte);
// The byte of a Unicode character in the code page; -1 where the code page has none.
int UnicodeToCodePageChar(int codePage, uint32_t unicode);

// Converts UTF-8 text to the code page; false when a character has no code there or the
// text is not UTF-8.
bool Utf8ToCodePage(const std::string& utf8, int codePage, std::string& out);
// Bytes without a character come out as U+FFFD.
std::string CodePageToUtf8(const std::string& bytes, int codePage);

}  // namespace rtl
