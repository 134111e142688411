#include "web/text_utils.h"

#include <gtest/gtest.h>

#include "support/gbk_literals.h"

namespace stdlookup {
namespace {

using namespace literals;
using test::bytes;
using test::g;

TEST(TextBetween, CutsBetweenFirstLeftAndNextRight) {
  struct Case {
    std::string text, left, right, expected;
  } cases[] = {
      {"a[x]b", "[", "]", "x"},
      {"a[x]b", "[", "[", ""},  // the right marker is searched only after the left one
      {"a[x]b", "{", "]", ""},
      {"a[x b", "[", "]", ""},
      {"[]", "[", "]", ""},
      {"a[x]b[y]", "[", "]", "x"},
      {"<TD>x</TD>", "<td>", "</td>", ""},  // case-sensitive
      {"<a href=\"u\">", g("href=#引号"), g("#引号"), "u"},
      {" [ x ] ", "[", "]", " x "},  // not trimmed
      // the marker's bytes on a trail-byte boundary do not count
      {bytes({0xB0, '[', '[', 'v', ']'}), "[", "]", "v"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text_between(c.text, c.left, c.right), c.expected) << c.text;
  }
}

TEST(TextBetween, RightMarkerIsSearchedRightAfterTheLeftOne) {
  // The right marker may start at the byte right after the left marker.
  EXPECT_EQ(text_between("k=;v", "k=", ";"), "");
  EXPECT_EQ(text_between(g("标准编号：GB 2760&nbsp;</td>"), g("标准编号："), "&nbsp;</td>"),
            "GB 2760");
}

TEST(TextAfterColon, TrimmedRestAfterFirstColon) {
  EXPECT_EQ(text_after_colon("User-Agent:  X "), "X");
  EXPECT_EQ(text_after_colon("no colon"), "");
  EXPECT_EQ(text_after_colon("a: b\r\nd"), "b\r\nd");
  EXPECT_EQ(text_after_colon("a:"), "");
  EXPECT_EQ(text_after_colon("a:b:c"), "b:c");
  EXPECT_EQ(text_after_colon("a:\tb\t"), "\tb\t");
}

}  // namespace
}  // namespace stdlookup
