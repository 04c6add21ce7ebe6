// UTF-8 <-> 8-bit code page text for dbtool (code pages 1251 and 1252; ASCII for others).
#pragma once

#include <string>

namespace dbtool {

// Converts UTF-8 text to the code page; false when a character has no code there.
bool Utf8ToCodePage(const std::string& utf8, int codePage, std::string& out);
std::string CodePageToUtf8(const std::string& bytes, int codePage);

}  // namespace dbtool
