#include "lists/output.h"

#include <gtest/gtest.h>

namespace stdlookup::lists {
namespace {

TEST(Csv, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(csv_field("GB 2760-2014"), "GB 2760-2014");
  EXPECT_EQ(csv_field("a,b"), "\"a,b\"");
  EXPECT_EQ(csv_field("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(csv_field("</td>\r\n<td>"), "\"</td>\r\n<td>\"");
  EXPECT_EQ(csv_field(""), "");
  EXPECT_EQ(csv_line({"a", "", "c,d"}), "a,,\"c,d\"\r\n");
}

TEST(Csv, CellsThatWouldRunAsFormulasStayText) {
  for (const char* formula : {"=1+2", "+1", "-1", "@SUM(A1)", "\tx", "\rx"}) {
    EXPECT_EQ(csv_text_cell(formula), std::string("'") + formula);
  }
  for (const char* text : {"", "GB 2760-2014", "1=1", "'=1", " =1"})
    EXPECT_EQ(csv_text_cell(text), text);
  EXPECT_EQ(csv_line({"=a,b", "c"}), "\"'=a,b\",c\r\n");
}

TEST(Table, CellsShowControlCharactersEscaped) {
  EXPECT_EQ(table_cell("a\r\nb\tc"), "a  b c");
  EXPECT_EQ(csv_line({"\x1b]0;x\x07", "a\nb"}, true), "\\x1B]0;x\\x07,a b\r\n");  // a terminal's
  EXPECT_EQ(csv_line({"\x1b]0;x\x07", "a\nb"}, false), "\x1b]0;x\x07,\"a\nb\"\r\n");
  EXPECT_EQ(table_cell("\x1b[2J\x07\x08\x7f\x01"), "\\x1B[2J\\x07\\x08\\x7F\\x01");
  EXPECT_EQ(table_cell("\xc2\x9b\xc2\xa0现行"), "\\u009B\xc2\xa0现行");  // C1 escaped, NBSP kept
}

TEST(Table, CountsWideCharactersAsTwoColumns) {
  EXPECT_EQ(display_width("GB 1"), 4);
  EXPECT_EQ(display_width("现行"), 4);
  EXPECT_EQ(display_width("抱歉，没找到"), 12);  // the full-width comma too
  EXPECT_EQ(aligned_table({{"标准号", "x"}, {"GB 1-2020", "y"}}), "标准号     x\nGB 1-2020  y\n");
  EXPECT_EQ(aligned_table({}), "");
}

}  // namespace
}  // namespace stdlookup::lists
