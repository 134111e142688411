// The GBK text operations: positions in range and on character boundaries, the match found at
// the reported position, cuts that are parts of their text, split and join round trips.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz_check.h"
#include "runtime/text.h"

using namespace stdlookup;
using stdlookup::fuzz::boundaries;

namespace {

bool matches_at(std::string_view text, std::size_t at, std::string_view sought) {
  return at + sought.size() <= text.size() && text.substr(at, sought.size()) == sought;
}

void check_find(const std::string& text, const std::string& sought, int start) {
  const int length = text_byte_count(text);
  FUZZ_CHECK(length == static_cast<int>(text.size()));
  const int found = find_text(text, sought, start);
  const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
  if (found == -1) {
    if (sought.empty() || from >= text.size()) return;
    auto at = boundaries(text, from);
    for (std::size_t i = from; i < text.size(); ++i)
      FUZZ_CHECK(!(at[i] && matches_at(text, i, sought)));
    return;
  }
  FUZZ_CHECK(found >= 1 && found <= length);
  if (sought.empty()) return;  // 1 whenever a byte remains
  FUZZ_CHECK(static_cast<std::size_t>(found - 1) >= from);
  const auto at = static_cast<std::size_t>(found - 1);
  FUZZ_CHECK(matches_at(text, at, sought));
  FUZZ_CHECK(boundaries(text, from)[at]);
  // The first one: no boundary before it matches.
  auto bounds = boundaries(text, from);
  for (std::size_t i = from; i < at; ++i) FUZZ_CHECK(!(bounds[i] && matches_at(text, i, sought)));
  // Ignoring case finds this match or an earlier one.
  const int folded = find_text(text, sought, start, true);
  FUZZ_CHECK(folded >= 1 && folded <= found);
}

void check_find_backward(const std::string& text, const std::string& sought, int start) {
  const int found = find_text_backward(text, sought, start);
  if (found == -1 || sought.empty()) return;
  FUZZ_CHECK(found >= 1 && found <= text_byte_count(text));
  const auto at = static_cast<std::size_t>(found - 1);
  FUZZ_CHECK(matches_at(text, at, sought));
  FUZZ_CHECK(boundaries(text)[at]);
  FUZZ_CHECK(start > 1 && at + sought.size() <= static_cast<std::size_t>(start - 1));
  // The whole text holds this match, so its last match lies no earlier.
  const int whole = find_text_backward(text, sought);
  FUZZ_CHECK(whole >= found);
}

void check_cuts(const std::string& text, int a, int b) {
  const Text left = left_text(text, a);
  const Text right = right_text(text, a);
  const Text middle = middle_text(text, a, b);
  FUZZ_CHECK(left.size() <= text.size() && text.compare(0, left.size(), left) == 0);
  FUZZ_CHECK(right.size() <= text.size() &&
             text.compare(text.size() - right.size(), right.size(), right) == 0);
  FUZZ_CHECK(middle.empty() || fuzz::contains(text, middle));
  if (a >= 0 && static_cast<std::size_t>(a) <= text.size()) {
    FUZZ_CHECK(left.size() == static_cast<std::size_t>(a));
    FUZZ_CHECK(left + right_text(text, text_byte_count(text) - a) == text);
  }
  const Text trimmed = trim_spaces(text);
  FUZZ_CHECK(trimmed.empty() || fuzz::contains(text, trimmed));
  FUZZ_CHECK(trim_spaces(trimmed) == trimmed);
  FUZZ_CHECK(remove_spaces(text).size() <= text.size());
  FUZZ_CHECK(to_lower(text).size() == text.size());
}

void check_split(const std::string& text, const std::string& delimiter) {
  if (delimiter.empty()) return;
  const TextArray parts = split_text(text, delimiter);
  std::string joined;
  for (int i = 1; i <= parts.count(); ++i) {
    if (i > 1) joined += delimiter;
    joined += parts[i];
  }
  // A delimiter at the very end leaves no empty last part.
  FUZZ_CHECK(joined == text || joined + delimiter == text);

  // Replacing every delimiter by itself changes nothing.
  FUZZ_CHECK(replace_text(text, delimiter, delimiter, 1, std::nullopt, true) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const int a = input.ConsumeIntegralInRange(-2, 70);
  const int b = input.ConsumeIntegralInRange(-2, 70);
  const std::string sought = input.ConsumeRandomLengthString(8);
  const std::string text = input.ConsumeRemainingBytesAsString();
  check_find(text, sought, a);
  check_find_backward(text, sought, a);
  check_cuts(text, a, b);
  check_split(text, sought);
  return 0;
}
