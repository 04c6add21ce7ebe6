// The readable source of a GLD dictionary (UTF-8), as gldc compiles it:
//
//   # a comment runs to the end of the line
//   version 3                   header: version, byte-order little|big,
//   strings 8-bit               strings 8-bit|utf-16, contexts 0..3,
//   system-code-page 1252       and the code page of the "system" texts
//   language native             a language and the tag that entries use for it
//     primary 0                 primary, default-sub, charset, code-page, flags, font-size:
//     code-page 1252              numbers; sub-languages, sub-language-texts, language-code,
//   language de                   country-code, english, native, font: texts
//     english "German"          texts native: the language's text of every entry is its
//     ...                         native text
//   entry "&Next >"             one translation: its native text, then
//     context-a "..."           its contexts and one line per language tag
//     de "&Weiter >"
//
// Texts stand in double quotes ("" for a quote inside) and are converted from UTF-8 into
// the code page of their field (a language's code page for its names and texts).
// Raises: rtl::Exception "<file>(<line>): <message>" for anything it cannot read.
#pragma once

#include <string>

#include "gldwriter.h"

namespace gldwriter {

Dictionary ParseSource(const std::string& text, const std::string& fileName = "source");

}  // namespace gldwriter
