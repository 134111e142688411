#include "runtime/conversion.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace stdlookup {
namespace {

template <typename T>
Bytes little_endian_bytes(T value) {
  unsigned char raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));
  if constexpr (std::endian::native == std::endian::big) std::reverse(raw, raw + sizeof(T));
  return Bytes(raw, sizeof(T));
}

std::int32_t saturate(long long value) {
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

bool is_c_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

Text full_width_to_half_width(std::string_view text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80 || i + 1 >= text.size()) {
      out.push_back(text[i]);
      continue;
    }
    auto trail = static_cast<unsigned char>(text[i + 1]);
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
      out.push_back(static_cast<char>(trail - 0x80));
    } else if (lead == 0xA1 && trail == 0xA1) {
      out.push_back(' ');
    } else if (lead == 0xA1 && trail == 0xAB) {
      out.push_back('~');
    } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
      out.push_back('*');
    } else {
      out.push_back(text[i]);
      out.push_back(text[i + 1]);
    }
    ++i;
  }
  return out;
}

std::int32_t to_integer(std::string_view text) {
  Text half = full_width_to_half_width(text);
  std::size_t i = 0;
  while (i < half.size() && is_c_space(half[i])) ++i;
  bool negative = false;
  if (i < half.size() && (half[i] == '+' || half[i] == '-')) negative = half[i++] == '-';
  long long value = 0;
  for (; i < half.size() && half[i] >= '0' && half[i] <= '9'; ++i) {
    value = value * 10 + (half[i] - '0');
    if (value > (1LL << 40)) break;  // far outside int32 already; saturate below
  }
  return saturate(negative ? -value : value);
}

std::int32_t to_integer(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);  // truncates toward zero
}

Text to_text(const Bytes& bytes) {
  std::size_t end = bytes.data.find('\0');
  return end == std::string::npos ? bytes.data : bytes.data.substr(0, end);
}

Text to_text(std::int32_t value) {
  // What "%d" gives, without a format to read: the export makes a text per cell address.
  char buf[16];
  return Text(buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, value).ptr - buf));
}

Text to_text(std::uint8_t value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%u", static_cast<unsigned>(value));
  return buf;
}

Text to_text(double value) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.13g", value);
  return buf;
}

Bytes to_bytes(std::string_view text) {
  return Bytes(text.data(), text.size());
}
Bytes to_bytes(std::int32_t value) {
  return little_endian_bytes(value);
}
Bytes to_bytes(bool value) {
  return little_endian_bytes<std::int32_t>(value ? 1 : 0);
}
Bytes to_bytes(double value) {
  return little_endian_bytes(value);
}
Bytes to_bytes(std::uint8_t value) {
  return Bytes(&value, 1);
}

int byte_string_length(const Bytes& bytes) {
  return static_cast<int>(bytes.size());
}

Bytes left_bytes(const Bytes& bytes, int count) {
  if (count <= 0) return {};
  return Bytes(bytes.data.substr(0, static_cast<std::size_t>(count)));
}

Bytes zero_bytes(int count) {
  if (count <= 0) return {};
  return Bytes(std::string(static_cast<std::size_t>(count), '\0'));
}

}  // namespace stdlookup
