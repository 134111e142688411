// What every fuzz target shares: a check that stops the run naming the broken invariant (libFuzzer
// keeps the input), and the independent character stepping the invariants are measured against.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

namespace stdlookup::fuzz {

// The byte offsets where characters start when stepping from `from`: a byte >= 0x80 leads a
// two-byte character.
inline std::vector<bool> boundaries(std::string_view text, std::size_t from = 0) {
  std::vector<bool> at(text.size() + 1, false);
  for (std::size_t i = from; i <= text.size();) {
    at[i] = true;
    i += static_cast<unsigned char>(i < text.size() ? text[i] : 0) >= 0x80 ? 2 : 1;
  }
  return at;
}

// The bytes as well-formed GBK: a lead byte without a trail byte (0x40 to 0xFE but 0x7F) after it
// becomes "?". Invariants about parts of texts hold for such texts; on broken ones, where a lone
// lead byte swallows the next ASCII byte, they hold character-wise only.
inline std::string well_formed_gbk(std::string text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) < 0x80) continue;
    const auto trail = static_cast<unsigned char>(i + 1 < text.size() ? text[i + 1] : 0);
    if (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) {
      ++i;
    } else {
      text[i] = '?';
    }
  }
  return text;
}

inline bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace stdlookup::fuzz
