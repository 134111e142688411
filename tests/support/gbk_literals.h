// Test helpers for writing GBK byte sequences.
#pragma once

#include <string>
#include <string_view>

#include "runtime/gbk.h"

namespace stdlookup::test {

// Builds a text from raw byte values, e.g. bytes({0xB0, 0x41, 0x41}).
inline std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

// UTF-8 to GBK, for test data written in readable Chinese.
inline std::string g(std::string_view utf8) {
  return utf8_to_gbk(utf8);
}

}  // namespace stdlookup::test
