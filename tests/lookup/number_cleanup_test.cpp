#include "lookup/number_cleanup.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace stdlookup {
namespace {

TEST(NormalizeNumber, GivesTheFormTheServiceHolds) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"GB 2760-2014", "GB 2760-2014"},  // already clean
      {"gb2760—2014", "GB 2760-2014"},
      {"GB/T2760", "GB/T 2760"},
      {"gb/t  2760.1-2014", "GB/T 2760.1-2014"},
      {"ＧＢ　２７６０－２０１４", "GB 2760-2014"},  // full-width letters, digits, space, dash
      {"\xEF\xBB\xBFGB 2760-2014", "GB 2760-2014"},  // byte-order mark
      {"GB\xE2\x80\x8B 2760\xE2\x80\x8B-2014", "GB 2760-2014"},  // zero-width spaces
      {"GB\xC2\xA0"
       "2760-2014\xC2\xA0",
       "GB 2760-2014"},                             // no-break spaces
      {"  GB   2760 - 2014 \t", "GB 2760 - 2014"},  // trimmed and collapsed, not rewritten
      {"GB 2760‐2014", "GB 2760-2014"},             // U+2010 hyphen
      {"GB 2760–2014", "GB 2760-2014"},             // en dash
      {"GB 2760−2014", "GB 2760-2014"},             // minus sign
      {"GB 2760﹣2014", "GB 2760-2014"},            // small hyphen-minus
      {"2760-2014", "2760-2014"},                   // no prefix: nothing to separate
      {"gb", "gb"},                                 // no digits after it: left as typed
      {"食品 标准", "食品 标准"},                   // other text passes through
      {"", ""},
      {"\xFF GB1", "\xFF GB1"},  // invalid UTF-8 is kept, nothing after it is a prefix
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(normalize_number(input), expected) << input;
    EXPECT_EQ(normalize_number(expected), expected) << "not stable: " << expected;
  }
}

}  // namespace
}  // namespace stdlookup
