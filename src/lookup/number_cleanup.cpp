#include "lookup/number_cleanup.h"

#include <cstdint>

namespace stdlookup {
namespace {

// The code point at `i` and its length in bytes; an invalid sequence is one byte, code -1.
std::pair<std::int32_t, std::size_t> decode(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = byte(i);
  if (b < 0x80) return {b, 1};
  std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
  if (length == 0 || b > 0xF4 || i + length > s.size()) return {-1, 1};
  std::int32_t code = b & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return {-1, 1};
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  const std::int32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF)) return {-1, 1};
  return {code, length};
}

bool is_invisible(std::int32_t c) {
  return c == 0xFEFF || (c >= 0x200B && c <= 0x200D) || c == 0x2060 || c == 0x00AD;
}

bool is_blank(std::int32_t c) {
  return c == ' ' || c == '\t' || c == 0x00A0 || c == 0x2007 || c == 0x202F || c == 0x3000 ||
         (c >= 0x2000 && c <= 0x200A);
}

bool is_dash(std::int32_t c) {
  return (c >= 0x2010 && c <= 0x2015) || c == 0x2212 || c == 0xFE58 || c == 0xFE63 || c == 0x2E3A ||
         c == 0x2E3B;
}

bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Half-width text with blanks collapsed to one ' ', none at either end.
std::string clean_characters(std::string_view s) {
  std::string out;
  bool pending_blank = false;
  for (std::size_t i = 0; i < s.size();) {
    auto [code, length] = decode(s, i);
    std::string_view original = s.substr(i, length);
    i += length;
    if (code >= 0xFF01 && code <= 0xFF5E) code -= 0xFEE0;  // full-width ASCII
    if (is_invisible(code)) continue;
    if (is_blank(code)) {
      pending_blank = !out.empty();
      continue;
    }
    if (pending_blank) out += ' ';
    pending_blank = false;
    if (is_dash(code)) {
      out += '-';
    } else if (code >= 0 && code < 0x80) {
      out += static_cast<char>(code);
    } else {
      out += original;
    }
  }
  return out;
}

}  // namespace

std::string normalize_number(std::string_view utf8) {
  std::string text = clean_characters(utf8);
  // The prefix: letters, or letters "/" letters ("GB/T"), then the digits, perhaps after blanks.
  std::size_t end = 0;
  while (end < text.size() && is_letter(text[end])) ++end;
  if (end == 0) return text;
  if (end + 1 < text.size() && text[end] == '/' && is_letter(text[end + 1])) {
    ++end;
    while (end < text.size() && is_letter(text[end])) ++end;
  }
  std::size_t digits = end;
  while (digits < text.size() && text[digits] == ' ') ++digits;
  if (digits == text.size() || !is_digit(text[digits])) return text;
  for (std::size_t k = 0; k < end; ++k) {
    if (text[k] >= 'a' && text[k] <= 'z') text[k] = static_cast<char>(text[k] - 'a' + 'A');
  }
  return text.substr(0, end) + ' ' + text.substr(digits);
}

}  // namespace stdlookup
