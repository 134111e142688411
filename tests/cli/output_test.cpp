#include "output.h"

#include <gtest/gtest.h>

namespace stdlookup::cli {
namespace {

TEST(Csv, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(csv_field("GB 2760-2014"), "GB 2760-2014");
  EXPECT_EQ(csv_field("a,b"), "\"a,b\"");
  EXPECT_EQ(csv_field("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(csv_field("</td>\r\n<td>"), "\"</td>\r\n<td>\"");
  EXPECT_EQ(csv_field(""), "");
  EXPECT_EQ(csv_line({"a", "", "c,d"}), "a,,\"c,d\"\r\n");
}

TEST(Table, CountsWideCharactersAsTwoColumns) {
  EXPECT_EQ(display_width("GB 1"), 4);
  EXPECT_EQ(display_width("现行"), 4);
  EXPECT_EQ(display_width("抱歉，没找到"), 12);  // the full-width comma too
  EXPECT_EQ(aligned_table({{"标准号", "x"}, {"GB 1-2020", "y"}}), "标准号     x\nGB 1-2020  y\n");
  EXPECT_EQ(aligned_table({}), "");
}

}  // namespace
}  // namespace stdlookup::cli
