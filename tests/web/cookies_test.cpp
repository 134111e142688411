#include "web/cookies.h"

#include <gtest/gtest.h>

#include "support/gbk_literals.h"

namespace stdlookup {
namespace {

using test::bytes;

struct MergeCase {
  std::string jar;
  std::string received;
  std::string merged;
  std::string received_after;
};

class MergeCookiesTest : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeCookiesTest, MergesIntoTheJar) {
  const MergeCase& c = GetParam();
  Text jar = c.jar;
  Text received = c.received;
  EXPECT_EQ(merge_cookies(jar, received), c.merged);
  EXPECT_EQ(jar, c.merged);
  EXPECT_EQ(received, c.received_after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MergeCookiesTest,
    ::testing::Values(MergeCase{"a=1; b=2", "b=3", "b=3; a=1", "b=3"},
                      MergeCase{"a=1; b=2", "a=deleted", "b=2", "a=deleted"},
                      MergeCase{"a=1", "k = 5", "k=5; a=1", "k=5"},
                      MergeCase{"a=1; a=2", "", "a=1", ""},
                      MergeCase{"", "x=1; x=1; x=2", "x=1; x=2", "x=1;x=1;x=2"},
                      MergeCase{"a=1", "A=1", "A=1; a=1", "A=1"},  // names are case-sensitive
                      MergeCase{"", "", "", ""},
                      MergeCase{"a=1;b=2", "b=deleted; c=3", "c=3; a=1", "b=deleted;c=3"},
                      // "=deleted" is bytewise: another spelling is an ordinary value
                      MergeCase{"a=1", "a=Deleted", "a=Deleted", "a=Deleted"},
                      // both same-named items of one response are kept when they differ
                      MergeCase{"a=0", "a=1; a=2", "a=1; a=2", "a=1;a=2"},
                      // tabs are not blanks
                      MergeCase{"", "t=\t1", "t=\t1", "t=\t1"}));

TEST(MergeCookies, IdeographicSpacesAreBlanks) {
  Text jar = "a=1";
  Text received = "k" + bytes({0xA1, 0xA1}) + "=5";
  EXPECT_EQ(merge_cookies(jar, received), "k=5; a=1");
}

TEST(CookieName, TextBeforeFirstEqualsTrimmed) {
  EXPECT_EQ(cookie_name(" sid =x=y"), "sid");
  EXPECT_EQ(cookie_name("flag"), "flag");
  EXPECT_EQ(cookie_name("=v"), "");
  EXPECT_EQ(cookie_name(""), "");
}

TEST(DropDuplicateItems, KeepsFirstOfEqualItems) {
  EXPECT_EQ(drop_duplicate_items("a; b; a; c; b", "; "), "a; b; c");
  EXPECT_EQ(drop_duplicate_items("a|a|", "|"), "a");
  EXPECT_EQ(drop_duplicate_items("", "; "), "");
  EXPECT_EQ(drop_duplicate_items("x", "; "), "x");
}

}  // namespace
}  // namespace stdlookup
