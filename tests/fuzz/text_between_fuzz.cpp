// text_between and text_after_colon: what they cut out stands in the text between its markers
// (at the first left marker), and the part after the colon is trimmed and part of the text.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz_check.h"
#include "runtime/gbk.h"
#include "runtime/text.h"
#include "web/text_utils.h"

using namespace stdlookup;
using namespace stdlookup::literals;

namespace {

// A marker's "#引号" (found character by character) stands for a double quote.
std::string with_quotes(const std::string& marker) {
  const std::string& placeholder = "#引号"_gbk;
  const auto bounds = fuzz::boundaries(marker);
  std::string out;
  for (std::size_t i = 0; i < marker.size(); ++i) {
    if (bounds[i] && marker.compare(i, placeholder.size(), placeholder) == 0) {
      out += '"';
      i += placeholder.size() - 1;
    } else {
      out += marker[i];
    }
  }
  return out;
}

void check_between(const std::string& text, const std::string& left, const std::string& right) {
  const Text cut = text_between(text, left, right);
  if (cut.empty()) return;
  const std::string l = with_quotes(left);
  const std::string r = with_quotes(right);
  const int a = find_text(text, l);
  FUZZ_CHECK(a >= 1);
  const auto at = static_cast<std::size_t>(a - 1);
  FUZZ_CHECK(text.compare(at, l.size() + cut.size() + r.size(), l + cut + r) == 0);
  // The right marker found is the first one after the left marker.
  const auto bounds = fuzz::boundaries(text, at + l.size());
  for (std::size_t i = at + l.size(); i < at + l.size() + cut.size(); ++i) {
    FUZZ_CHECK(!(bounds[i] && text.compare(i, r.size(), r) == 0 && !r.empty()));
  }
}

void check_after_colon(const std::string& text) {
  const Text after = text_after_colon(text);
  const int colon = find_text(text, ":");
  if (colon == -1) {
    FUZZ_CHECK(after.empty());
    return;
  }
  FUZZ_CHECK(text[static_cast<std::size_t>(colon - 1)] == ':');
  FUZZ_CHECK(after == trim_spaces(after));
  FUZZ_CHECK(after.empty() ||
             text.find(after, static_cast<std::size_t>(colon)) != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::string left = input.ConsumeRandomLengthString(12);
  std::string right = input.ConsumeRandomLengthString(12);
  if (input.ConsumeBool()) left += "#引号"_gbk;  // the quote placeholder in a marker
  const std::string text = input.ConsumeRemainingBytesAsString();
  check_between(text, left, right);
  check_after_colon(text);
  return 0;
}
