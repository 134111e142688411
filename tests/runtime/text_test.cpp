#include "runtime/text.h"

#include <gtest/gtest.h>

#include "support/gbk_literals.h"
#include "support/platform.h"

namespace stdlookup {
namespace {

using test::bytes;
using test::g;

struct FindCase {
  std::string text;
  std::string sought;
  int start;
  bool ignore_case;
  int expected;
};

class FindTextTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindTextTest, FindsFirstMatchOnCharacterBoundary) {
  const FindCase& c = GetParam();
  EXPECT_EQ(find_text(c.text, c.sought, c.start, c.ignore_case), c.expected)
      << "text=" << c.text << " sought=" << c.sought << " start=" << c.start;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindTextTest,
    ::testing::Values(FindCase{"xyzxyz", "z", 1, false, 3}, FindCase{"xyzxyz", "z", 4, false, 6},
                      FindCase{"xyzxyz", "z", 7, false, -1}, FindCase{"xyzxyz", "z", 0, false, 3},
                      FindCase{"xyzxyz", "z", -5, false, 3}, FindCase{"XYZ", "y", 1, false, -1},
                      FindCase{"XYZ", "y", 1, true, 2}, FindCase{"abc", "abcd", 1, false, -1},
                      // a trail byte equal to the sought byte is no match
                      FindCase{bytes({0xB0, 0x41, 0x41}), "A", 1, false, 3},
                      FindCase{bytes({0xB0, 0x41}), "A", 1, false, -1},
                      // the stepping starts at `start`, which is taken to be a boundary
                      FindCase{bytes({0xB0, 0x41, 0x41}), "A", 2, false, 2},
                      // empty sought: 1 whenever a byte remains from start on
                      FindCase{"abc", "", 1, false, 1}, FindCase{"abc", "", 3, false, 1},
                      FindCase{"abc", "", 4, false, -1}, FindCase{"", "", 1, false, -1},
                      FindCase{"", "a", 1, false, -1},
                      // ignore_case folds ASCII letters but not the bytes of double-byte characters
                      FindCase{bytes({0xB0, 0x61}) + "A", bytes({0xB0, 0x41}), 1, true, -1},
                      FindCase{"aSeT-CoOkIe", "set-cookie", 1, true, 2}));

TEST(FindText, NeverMatchesAcrossACharacterBoundaryInLongRuns) {
  // "现行" is CF D6 D0 D0. After a long ASCII run, B0 A1 | B0 CF | D6 D0 | D0 A1 holds those
  // bytes, but starting on a trail byte.
  std::string word = g("现行");
  ASSERT_EQ(word, bytes({0xCF, 0xD6, 0xD0, 0xD0}));
  std::string text = std::string(1000, 'a') + bytes({0xB0, 0xA1, 0xB0}) + word + bytes({0xA1});
  ASSERT_NE(text.find(word), std::string::npos);
  EXPECT_EQ(find_text(text, word), -1);
  EXPECT_EQ(find_text(text + word, word), static_cast<int>(text.size()) + 1);
}

TEST(FindText, AgreesWithPlainSteppingFromEveryStart) {
  // Mixed runs of ASCII and double-byte characters, including trail bytes below 0x80, checked
  // against a straightforward character-by-character scan at every start position.
  std::string text;
  const int pattern[] = {0xB0, 0x41, 'A',  'b',  0xC4, 0xE3, 0xBA, 0xC3, 'A',  0x81, 0x40,
                         'A',  0xA1, 0xA1, 0xB0, 0xA1, 'A',  'A',  0xFE, 0x41, 0x41};
  for (int round = 0; round < 20; ++round) {
    for (int b : pattern) text.push_back(static_cast<char>(b));
    text.append(static_cast<std::size_t>(round % 9), 'z');
  }
  for (std::string sought : {std::string("A"), std::string("AA"), bytes({0xA1, 0xA1}),
                             bytes({0x41, 0xB0}), bytes({0xA1, 0xB0})}) {
    for (int start = 1; start <= static_cast<int>(text.size()); start += 7) {
      int expected = -1;
      for (std::size_t p = static_cast<std::size_t>(start - 1); p + sought.size() <= text.size();
           p += (static_cast<unsigned char>(text[p]) >= 0x80 ? 2 : 1)) {
        if (text.compare(p, sought.size(), sought) == 0) {
          expected = static_cast<int>(p + 1);
          break;
        }
      }
      ASSERT_EQ(find_text(text, sought, start), expected) << "start " << start;
    }
  }
}

TEST(FindTextBackward, LastMatchWhollyBeforeStart) {
  EXPECT_EQ(find_text_backward("xyzxyz", "xyz"), 4);
  EXPECT_EQ(find_text_backward("xyzxyz", "xyz", 7), 4);
  EXPECT_EQ(find_text_backward("xyzxyz", "xyz", 6), 1);
  EXPECT_EQ(find_text_backward("xyzxyz", "xyz", 1), -1);
  EXPECT_EQ(find_text_backward("xyzxyz", "q"), -1);
  EXPECT_EQ(find_text_backward("a:b:c", ":"), 4);
  EXPECT_EQ(find_text_backward("XYZxyz", "xyz", std::nullopt, true), 4);
  EXPECT_EQ(find_text_backward(bytes({0xB0, 0x41, 0x41, 0xB0, 0x41}), "A"), 3);
  EXPECT_EQ(find_text_backward("abc", ""), 1);
  EXPECT_EQ(find_text_backward("", ""), -1);
  EXPECT_EQ(find_text_backward("abc", "", 1), -1);
}

TEST(ReplaceText, CountsStartAndCase) {
  EXPECT_EQ(replace_text("aaaa", "aa", "b"), "bb");
  EXPECT_EQ(replace_text("aaaa", "aa", "b", 1, 1), "baa");
  EXPECT_EQ(replace_text("aaaa", "aa", "b", 2), "aba");
  EXPECT_EQ(replace_text("aaaa", "aa", "b", 1, 0), "aaaa");
  EXPECT_EQ(replace_text("aaaa", "aa", "b", 5), "aaaa");
  EXPECT_EQ(replace_text("aaaa", "", "b"), "aaaa");
  EXPECT_EQ(replace_text("", "a", "b"), "");
  EXPECT_EQ(replace_text("abab", "b"), "aa");  // replacement omitted: removal
  // omitted case_sensitive ignores case
  EXPECT_EQ(replace_text("SET-COOKIE: a\r\nset-cookie: b", "Set-Cookie", "Set-Cookie"),
            "Set-Cookie: a\r\nSet-Cookie: b");
  EXPECT_EQ(replace_text("Aa", "a", "x", 1, std::nullopt, true), "Ax");
  // the scan never re-reads an inserted replacement
  EXPECT_EQ(replace_text("aa", "a", "aa"), "aaaa");
  // a match never starts on a trail byte
  EXPECT_EQ(replace_text(bytes({0xB0, 0x41, 0x41}), "A", "x"), bytes({0xB0, 0x41}) + "x");
}

struct SplitCase {
  std::string text;
  std::optional<std::string> delimiter;
  std::optional<int> max_parts;
  std::vector<std::string> expected;
};

class SplitTextTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTextTest, Splits) {
  const SplitCase& c = GetParam();
  std::optional<std::string_view> delimiter;
  if (c.delimiter) delimiter = *c.delimiter;
  EXPECT_EQ(split_text(c.text, delimiter, c.max_parts).items(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitTextTest,
    ::testing::Values(
        SplitCase{"a,,b", std::nullopt, std::nullopt, {"a", "", "b"}},
        SplitCase{"a,b,", std::nullopt, std::nullopt, {"a", "b"}},
        SplitCase{",a", std::nullopt, std::nullopt, {"", "a"}},
        SplitCase{"", std::nullopt, std::nullopt, {}},
        SplitCase{"a,b", std::string(""), std::nullopt, {"a,b"}},  // given empty ≠ omitted
        SplitCase{"x\r\ny\r\n", std::string("\r\n"), std::nullopt, {"x", "y"}},
        SplitCase{"\r\n", std::string("\r\n"), std::nullopt, {""}},
        SplitCase{"A\r\n\r\nB\r\n", std::string("\r\n"), std::nullopt, {"A", "", "B"}},
        SplitCase{"a,b,c", std::nullopt, 2, {"a", "b"}}, SplitCase{"a,b,c", std::nullopt, 0, {}},
        SplitCase{"a,b,c", std::nullopt, -3, {}}, SplitCase{"a,b", std::nullopt, 2, {"a", "b"}},
        SplitCase{"aXbxc", std::string("x"), std::nullopt, {"aXb", "c"}},
        // a delimiter byte inside a double-byte character does not split it
        SplitCase{"\xB0,\xB0,", std::nullopt, std::nullopt, {"\xB0,\xB0,"}}));

TEST(TextArray, IndexesAreOneBased) {
  TextArray parts = split_text("a,b");
  EXPECT_EQ(parts.count(), 2);
  EXPECT_EQ(parts[1], "a");
  EXPECT_EQ(parts[2], "b");
}

TEST(TextArrayDeathTest, IndexBelowOneIsRuntimeError4) {
  TextArray parts = split_text("a,b");
  EXPECT_EXIT((void)parts[0], ::testing::ExitedWithCode(test::kRuntimeErrorExitCode),
              "错误代码：4");
}

TEST(TextArrayDeathTest, IndexAboveCountIsRuntimeError1) {
  TextArray parts = split_text("a,b");
  EXPECT_EXIT((void)parts[3], ::testing::ExitedWithCode(test::kRuntimeErrorExitCode),
              "错误代码：1");
}

TEST(CutText, CountsBytes) {
  std::string zhong = g("中");
  EXPECT_EQ(left_text(zhong + "x", 1), zhong.substr(0, 1));  // may split a character
  EXPECT_EQ(left_text("xyz", 0), "");
  EXPECT_EQ(left_text("xyz", -1), "");
  EXPECT_EQ(left_text("xyz", 9), "xyz");
  EXPECT_EQ(right_text("xyz", 2), "yz");
  EXPECT_EQ(right_text("xyz", 0), "");
  EXPECT_EQ(right_text("xyz", 9), "xyz");
  EXPECT_EQ(middle_text("xyz", 3, 5), "z");
  EXPECT_EQ(middle_text("xyz", 4, 1), "");
  EXPECT_EQ(middle_text("xyz", 0, 1), "");
  EXPECT_EQ(middle_text("xyz", 2, 0), "");
  EXPECT_EQ(middle_text("xyz", 2, 1), "y");
  EXPECT_EQ(text_byte_count(zhong), 2);
}

TEST(Spaces, TrimAndRemoveKnowOnlyTwoSpaces) {
  std::string ideographic = bytes({0xA1, 0xA1});
  EXPECT_EQ(trim_spaces(" \txy" + ideographic), "\txy");
  EXPECT_EQ(trim_spaces(ideographic + " a b " + ideographic + " "), "a b");
  EXPECT_EQ(trim_spaces("   "), "");
  EXPECT_EQ(trim_spaces("\r\nx\r\n"), "\r\nx\r\n");
  // B0 A1 A1 A1: the character B0 A1, then an ideographic space; only the last pair is a space
  EXPECT_EQ(trim_spaces(bytes({0xB0, 0xA1, 0xA1, 0xA1})), bytes({0xB0, 0xA1}));
  EXPECT_EQ(trim_spaces(bytes({0xB0, 0xA1, 0xA1})), bytes({0xB0, 0xA1, 0xA1}));
  EXPECT_EQ(remove_spaces("k = 5" + ideographic + "\t;"), "k=5\t;");
  EXPECT_EQ(remove_spaces(bytes({0xB0, 0xA1, 0xA1, 0xA1, 0x20})), bytes({0xB0, 0xA1}));
}

TEST(ToLower, LeavesDoubleByteCharactersAlone) {
  EXPECT_EQ(to_lower("HTTP://Ab.CD"), "http://ab.cd");
  EXPECT_EQ(to_lower(bytes({0xB0, 0x41, 0x41})), bytes({0xB0, 0x41, 0x61}));
}

TEST(SmallTexts, CharAndSpaceText) {
  EXPECT_EQ(char_text(65), "A");
  EXPECT_EQ(char_text(0x141), "A");  // low 8 bits
  EXPECT_EQ(char_text(0), "");
  EXPECT_EQ(char_text(256), "");
  EXPECT_EQ(space_text(3), "   ");
  EXPECT_EQ(space_text(0), "");
  EXPECT_EQ(space_text(-2), "");
}

}  // namespace
}  // namespace stdlookup
