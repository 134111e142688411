// GBK (code page 936) at the edges: UTF-8 from the toolkit, the terminal and the source files
// becomes GBK for the logic, and back. The system's Chinese literals are written in UTF-8 as
// "…"_gbk and converted once, on first use, into a static GBK text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

// Characters that GBK cannot hold (and malformed UTF-8) become "?".
Text utf8_to_gbk(std::string_view utf8);
// Malformed GBK (a lone lead byte, an invalid pair) becomes "?".
std::string gbk_to_utf8(std::string_view gbk);

template <std::size_t N>
struct Utf8Literal {
  char chars[N]{};
  constexpr Utf8Literal(const char (&text)[N]) { std::copy_n(text, N, chars); }
  constexpr std::string_view view() const { return {chars, N - 1}; }
};

namespace literals {
template <Utf8Literal S>
const Text& operator""_gbk() {
  static const Text value = utf8_to_gbk(S.view());
  return value;
}
}  // namespace literals

}  // namespace stdlookup
