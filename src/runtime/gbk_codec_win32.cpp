// GBK codec on Windows: code page 936 through MultiByteToWideChar / WideCharToMultiByte. The
// system functions are lenient (0x80 becomes "€", 0xFF and undefined pairs land in the private
// use area, an unmappable character "??"), so the input is checked character by character
// first and only well-formed, defined characters are converted.
#include <windows.h>

#include "runtime/gbk.h"
#include "runtime/win32_text.h"

namespace stdlookup {
namespace win32 {
namespace {

bool is_lead(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

bool is_trail(unsigned char c) {
  return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

bool is_private_use(wchar_t c) {
  return c >= 0xE000 && c <= 0xF8FF;
}

// The UTF-16 unit of one double-byte GBK character, or 0 when code page 936 does not define it.
wchar_t decode_pair(const char* pair) {
  wchar_t unit = 0;
  int n = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, pair, 2, &unit, 1);
  return n == 1 && !is_private_use(unit) ? unit : 0;
}

// Appends the wide form of well-formed GBK `run` (which holds double-byte characters) at once;
// false when one of its characters is not defined.
bool decode_run(std::string_view run, std::wstring& out) {
  if (run.empty()) return true;
  const std::size_t old = out.size();
  out.resize(old + run.size());
  int n = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, run.data(),
                              static_cast<int>(run.size()), out.data() + old,
                              static_cast<int>(run.size()));
  if (n <= 0) {
    out.resize(old);
    return false;
  }
  out.resize(old + static_cast<std::size_t>(n));
  for (std::size_t i = old; i < out.size(); ++i) {
    if (is_private_use(out[i])) {
      out.resize(old);
      return false;
    }
  }
  return true;
}

}  // namespace

std::wstring gbk_to_wide(std::string_view gbk) {
  std::wstring out;
  out.reserve(gbk.size());
  // Split into runs of well-formed characters, converted in one call each; a malformed byte
  // (0x80, 0xFF, a lead byte without a valid trail byte) becomes "?" and skips what the iconv
  // codec skips: a lead byte and the byte after it, or the one byte.
  std::size_t run_start = 0;
  std::size_t i = 0;
  auto flush = [&](std::size_t end) {
    std::string_view run = gbk.substr(run_start, end - run_start);
    if (decode_run(run, out)) return;
    // One undefined character in the run: go through it character by character.
    for (std::size_t k = 0; k < run.size();) {
      auto c = static_cast<unsigned char>(run[k]);
      if (c < 0x80) {
        out.push_back(static_cast<wchar_t>(c));
        ++k;
      } else {
        wchar_t unit = decode_pair(run.data() + k);
        out.push_back(unit != 0 ? unit : L'?');
        k += 2;
      }
    }
  };
  while (i < gbk.size()) {
    auto c = static_cast<unsigned char>(gbk[i]);
    if (c < 0x80) {
      ++i;
    } else if (is_lead(c) && i + 1 < gbk.size() &&
               is_trail(static_cast<unsigned char>(gbk[i + 1]))) {
      i += 2;
    } else {
      flush(i);
      out.push_back(L'?');
      i += (is_lead(c) && i + 1 < gbk.size()) ? 2 : 1;
      run_start = i;
    }
  }
  flush(gbk.size());
  return out;
}

Text wide_to_gbk(std::wstring_view wide) {
  if (wide.empty()) return {};
  // Surrogate pairs (characters beyond the BMP, which GBK lacks) become one "?" each, and
  // unpaired surrogates too; no best-fit substitutes ("ß" must not turn into "b").
  std::wstring bmp;
  bmp.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    wchar_t c = wide[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      ++i;
      bmp.push_back(L'?');
    } else if ((c >= 0xD800 && c <= 0xDFFF) || is_private_use(c) || c == 0x20AC) {
      // Code page 936 adds the euro sign (0x80) and the user-defined area to GBK; neither
      // would read back.
      bmp.push_back(L'?');
    } else {
      bmp.push_back(c);
    }
  }
  const int in = static_cast<int>(bmp.size());
  int size = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, bmp.data(), in, nullptr, 0,
                                 "?", nullptr);
  if (size <= 0) return {};
  Text out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, bmp.data(), in, out.data(), size, "?",
                      nullptr);
  return out;
}

std::wstring utf8_to_wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int in = static_cast<int>(utf8.size());
  int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), in, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), in, out.data(), size);
  return out;
}

std::string wide_to_utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int in = static_cast<int>(wide.size());
  int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), in, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), in, out.data(), size, nullptr, nullptr);
  return out;
}

}  // namespace win32

namespace {

// One code point of UTF-8 at the front of `rest`: its value and length, or -1 and the bytes to
// skip (the lead byte and the continuation bytes that follow it, as the iconv codec does).
std::pair<long, std::size_t> next_code_point(std::string_view rest) {
  auto c = static_cast<unsigned char>(rest[0]);
  std::size_t n = c < 0x80 ? 1 : c < 0xC0 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF8 ? 4 : 0;
  if (n == 1) return {c, 1};
  std::size_t skip = 1;
  std::size_t want = n == 0 ? (c < 0xC0 ? 1 : 4) : n;
  while (skip < want && skip < rest.size() &&
         (static_cast<unsigned char>(rest[skip]) & 0xC0) == 0x80) {
    ++skip;
  }
  if (n == 0 || skip < n) return {-1, skip};
  long value = c & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k) value = (value << 6) | (rest[k] & 0x3F);
  static constexpr long kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kMinimum[n] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return {-1, n};
  }
  return {value, n};
}

}  // namespace

Text utf8_to_gbk(std::string_view utf8) {
  // Decoded here rather than by MultiByteToWideChar, whose handling of malformed input differs
  // between Windows versions: each malformed sequence is one "?".
  std::wstring wide;
  wide.reserve(utf8.size());
  while (!utf8.empty()) {
    auto [value, length] = next_code_point(utf8);
    if (value < 0 || value > 0xFFFF) {
      wide.push_back(L'?');
    } else {
      wide.push_back(static_cast<wchar_t>(value));
    }
    utf8.remove_prefix(length);
  }
  return win32::wide_to_gbk(wide);
}

std::string gbk_to_utf8(std::string_view gbk) {
  return win32::wide_to_utf8(win32::gbk_to_wide(gbk));
}

}  // namespace stdlookup
