// UTF-8 <-> 8-bit code page text for dbtool (code pages 1251 and 1252; ASCII for others).
#pragma once

#include "rtl/codepage.h"

namespace dbtool {

using rtl::CodePageToUtf8;
using rtl::Utf8ToCodePage;

}  // namespace dbtool
