// Conversions between texts, numbers and byte strings, and the small byte-string operations.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

// Full-width forms are folded to half-width first (A3 xx, the ideographic space, ~ and *),
// then the leading decimal number is read; out-of-range values saturate at the int32 limits.
std::int32_t to_integer(std::string_view text);
inline std::int32_t to_integer(const char* text) {
  return to_integer(std::string_view(text));
}
inline std::int32_t to_integer(bool value) {
  return value ? 1 : 0;
}
inline std::int32_t to_integer(std::int32_t value) {
  return value;
}
inline std::int32_t to_integer(std::uint8_t value) {
  return value;
}
std::int32_t to_integer(double value);

// The full-width to half-width folding used by to_integer, exposed for its own tests.
Text full_width_to_half_width(std::string_view text);

Text to_text(const Bytes& bytes);  // up to the first zero byte
Text to_text(std::int32_t value);  // "%d"
Text to_text(std::uint8_t value);  // "%u"
Text to_text(double value);        // "%.13g"
inline Text to_text(std::string_view text) {
  return Text(text);
}
inline Text to_text(const char* text) {
  return Text(text);
}

Bytes to_bytes(std::string_view text);
inline Bytes to_bytes(const char* text) {
  return to_bytes(std::string_view(text));
}
Bytes to_bytes(std::int32_t value);  // 4 bytes, little-endian
Bytes to_bytes(bool value);          // 4 bytes, like the integer 0 or 1
Bytes to_bytes(double value);        // 8 bytes, little-endian
Bytes to_bytes(std::uint8_t value);
inline Bytes to_bytes(const Bytes& bytes) {
  return bytes;
}

int byte_string_length(const Bytes& bytes);
Bytes left_bytes(const Bytes& bytes, int count);
Bytes zero_bytes(int count);

template <typename... Ints>
constexpr std::int32_t bit_or(std::int32_t first, Ints... rest) {
  return (first | ... | static_cast<std::int32_t>(rest));
}

}  // namespace stdlookup
