#include "runtime/text.h"

#include "runtime/byte_search.h"
#include "runtime/runtime_error.h"

namespace stdlookup {
namespace {

constexpr unsigned char kLeadMin = 0x80;

bool is_lead(unsigned char c) {
  return c >= kLeadMin;
}
unsigned char lower_ascii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

// Tells whether candidate positions (visited in increasing order) are character boundaries when
// stepping from `start`. The byte after any byte below 0x80 is a boundary (that byte is either a
// character or a trail), so only the run of high bytes just before a candidate matters: inside
// such a run, starting on a boundary, characters are pairs. Each byte is looked at once.
class BoundaryCheck {
 public:
  BoundaryCheck(std::string_view text, std::size_t start)
      : text_(text), scanned_(start), run_start_(start) {}

  bool is_boundary(std::size_t candidate) {
    std::size_t q = candidate;
    while (q > scanned_ && is_lead(static_cast<unsigned char>(text_[q - 1]))) --q;
    if (q > scanned_) run_start_ = q;  // a byte below 0x80 sits at q - 1
    scanned_ = candidate;
    return ((candidate - run_start_) & 1) == 0;
  }

 private:
  std::string_view text_;
  std::size_t scanned_;    // bytes before this position have been looked at
  std::size_t run_start_;  // where the run of high bytes that ends at scanned_ begins
};

// Compares `sought` at `at`, folding ASCII letters; the bytes of double-byte characters in
// `sought` are compared as they are.
bool equal_ignoring_case(std::string_view text, std::size_t at, std::string_view sought) {
  for (std::size_t i = 0; i < sought.size(); ++i) {
    auto s = static_cast<unsigned char>(sought[i]);
    auto t = static_cast<unsigned char>(text[at + i]);
    if (is_lead(s)) {
      if (t != s) return false;
      if (++i < sought.size() && text[at + i] != sought[i]) return false;
      continue;
    }
    if (lower_ascii(s) != lower_ascii(t)) return false;
  }
  return true;
}

// Byte offset of the first match of a non-empty `sought` that starts on a boundary, stepping
// from `from` (taken to be a boundary); npos when there is none.
std::size_t find_offset(std::string_view text, std::string_view sought, std::size_t from,
                        bool ignore_case) {
  if (from >= text.size() || text.size() - from < sought.size()) return std::string_view::npos;
  BoundaryCheck boundary(text, from);
  const std::size_t last = text.size() - sought.size();
  std::size_t p = from;
  while (p <= last) {
    std::size_t candidate;
    if (!ignore_case) {
      candidate = find_bytes(text.substr(p), sought);
      if (candidate != std::string_view::npos) candidate += p;
    } else {
      candidate = std::string_view::npos;
      for (std::size_t q = p; q <= last; ++q) {
        if (lower_ascii(static_cast<unsigned char>(text[q])) ==
                lower_ascii(static_cast<unsigned char>(sought[0])) &&
            equal_ignoring_case(text, q, sought)) {
          candidate = q;
          break;
        }
      }
    }
    if (candidate == std::string_view::npos) return candidate;
    if (boundary.is_boundary(candidate)) return candidate;
    p = candidate + 1;
  }
  return std::string_view::npos;
}

std::size_t char_length(std::string_view text, std::size_t i) {
  return (is_lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

bool is_space_at(std::string_view text, std::size_t i) {
  if (text[i] == ' ') return true;
  return static_cast<unsigned char>(text[i]) == 0xA1 && i + 1 < text.size() &&
         static_cast<unsigned char>(text[i + 1]) == 0xA1;
}

}  // namespace

const Text& TextArray::operator[](int index) const {
  if (index < 1) report_runtime_error(kIndexBelowOne);
  if (index > count()) report_runtime_error(kIndexAboveCount);
  return items_[static_cast<std::size_t>(index - 1)];
}

int text_byte_count(std::string_view text) {
  return static_cast<int>(text.size());
}

Text left_text(std::string_view text, int count) {
  if (count <= 0) return {};
  return Text(text.substr(0, static_cast<std::size_t>(count)));
}

Text right_text(std::string_view text, int count) {
  if (count <= 0) return {};
  auto n = static_cast<std::size_t>(count);
  if (n >= text.size()) return Text(text);
  return Text(text.substr(text.size() - n));
}

Text middle_text(std::string_view text, int start, int count) {
  if (start < 1 || count <= 0 || static_cast<std::size_t>(start) > text.size()) return {};
  return Text(text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count)));
}

int find_text(std::string_view text, std::string_view sought, int start, bool ignore_case) {
  std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (from >= text.size()) return -1;
  if (sought.empty()) return 1;
  std::size_t at = find_offset(text, sought, from, ignore_case);
  return at == std::string_view::npos ? -1 : static_cast<int>(at + 1);
}

int find_text_backward(std::string_view text, std::string_view sought, std::optional<int> start,
                       bool ignore_case) {
  std::size_t region = text.size();
  if (start) {
    if (*start <= 1) return -1;
    region = std::min(region, static_cast<std::size_t>(*start - 1));
  }
  if (sought.empty()) return region > 0 ? 1 : -1;
  int found = -1;
  std::size_t from = 0;
  while (true) {
    std::size_t at = find_offset(text, sought, from, ignore_case);
    if (at == std::string_view::npos || at + sought.size() > region) break;
    found = static_cast<int>(at + 1);
    from = at + char_length(text, at);  // continue stepping from the next character
  }
  return found;
}

Text replace_text(std::string_view text, std::string_view sought, std::string_view replacement,
                  int start, std::optional<int> count, bool case_sensitive) {
  std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (text.empty() || sought.empty() || from >= text.size() || (count && *count == 0)) {
    return Text(text);
  }
  Text result(text.substr(0, from));
  int done = 0;
  std::size_t pos = from;
  while (true) {
    std::size_t at = find_offset(text, sought, pos, !case_sensitive);
    if (at == std::string_view::npos) break;
    result.append(text.substr(pos, at - pos));
    result.append(replacement);
    pos = at + sought.size();
    if (count && *count > 0 && ++done == *count) break;
  }
  result.append(text.substr(pos));
  return result;
}

TextArray split_text(std::string_view text, std::optional<std::string_view> delimiter,
                     std::optional<int> max_parts) {
  std::string_view sep = delimiter.value_or(",");
  std::size_t limit = SIZE_MAX;
  if (max_parts) limit = *max_parts < 0 ? 0 : static_cast<std::size_t>(*max_parts);
  std::vector<Text> items;
  if (text.empty() || limit == 0) return TextArray(std::move(items));
  if (sep.empty()) return TextArray({Text(text)});
  std::size_t pos = 0;
  while (items.size() < limit) {
    std::size_t at = find_offset(text, sep, pos, false);
    if (at == std::string_view::npos) break;
    items.emplace_back(text.substr(pos, at - pos));
    pos = at + sep.size();
  }
  if (items.size() < limit && pos < text.size()) items.emplace_back(text.substr(pos));
  return TextArray(std::move(items));
}

Text trim_spaces(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && is_space_at(text, i)) i += char_length(text, i);
  std::size_t begin = i;
  std::size_t end = i;  // end of the last character that is not a space
  while (i < text.size()) {
    std::size_t len = char_length(text, i);
    if (!is_space_at(text, i)) end = i + len;
    i += len;
  }
  return Text(text.substr(begin, end - begin));
}

Text remove_spaces(std::string_view text) {
  Text result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = char_length(text, i);
    if (!is_space_at(text, i)) result.append(text.substr(i, len));
    i += len;
  }
  return result;
}

Text to_lower(std::string_view text) {
  Text result(text);
  for (std::size_t i = 0; i < result.size();) {
    auto c = static_cast<unsigned char>(result[i]);
    if (is_lead(c)) {
      i += 2;  // both bytes of a double-byte character stay as they are
    } else {
      result[i] = static_cast<char>(lower_ascii(c));
      ++i;
    }
  }
  return result;
}

Text char_text(int code) {
  auto byte = static_cast<char>(code & 0xFF);
  if (byte == 0) return {};
  return Text(1, byte);
}

Text space_text(int count) {
  return count <= 0 ? Text() : Text(static_cast<std::size_t>(count), ' ');
}

namespace {

// Width of one code point: wide for the CJK ranges a standard's name uses.
int code_point_width(char32_t c) {
  if (c < 0x20 || c == 0x7F) return 0;
  if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD)) {
    return 2;
  }
  return 1;
}

}  // namespace

int display_width(std::string_view utf8, int stop_at) {
  int width = 0;
  for (std::size_t i = 0; i < utf8.size() && width < stop_at;) {
    auto b = static_cast<unsigned char>(utf8[i]);
    int length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? b : b & (0x7F >> length);
    for (int k = 1; k < length && i + static_cast<std::size_t>(k) < utf8.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
    }
    width += code_point_width(c);
    i += static_cast<std::size_t>(length);
  }
  return width;
}

bool is_valid_utf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    char32_t c = 0;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      length = 2, c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3, c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4, c = b & 0x07;
    } else {
      return false;
    }
    if (i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto t = static_cast<unsigned char>(bytes[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      c = (c << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

std::string_view trim_blanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace stdlookup
