// Text at the edges of the Windows API: the wide ("W") functions take UTF-16, converted from
// GBK through code page 936 whatever the machine's ANSI code page is, so Chinese texts work on
// an English Windows as well. Native paths (file dialogs, the command line) are UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "runtime/types.h"

namespace stdlookup::win32 {

inline constexpr unsigned kGbkCodePage = 936;

// Malformed GBK and characters GBK does not define become "?".
std::wstring gbk_to_wide(std::string_view gbk);
// Characters GBK cannot hold become "?".
Text wide_to_gbk(std::wstring_view wide);

// Malformed UTF-8 becomes U+FFFD; unpaired surrogates likewise on the way back.
std::wstring utf8_to_wide(std::string_view utf8);
std::string wide_to_utf8(std::wstring_view wide);

}  // namespace stdlookup::win32
