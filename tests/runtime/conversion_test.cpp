#include "runtime/conversion.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/gbk_literals.h"

namespace stdlookup {
namespace {

using test::bytes;

TEST(ToInteger, ReadsTheLeadingDecimalNumber) {
  struct Case {
    std::string text;
    std::int32_t expected;
  } cases[] = {
      {"80xyz", 80},
      {"xyz", 0},
      {"", 0},
      {"  \t-12", -12},
      {"+7", 7},
      {"- 7", 0},
      {bytes({0xA3, 0xB8, 0xA3, 0xB0}), 80},              // full-width 8 0
      {bytes({0xA1, 0xA1, 0xA3, 0xAD, 0xA3, 0xB5}), -5},  // ideographic space, full-width - 5
      {"99999999999", std::numeric_limits<std::int32_t>::max()},
      {"-99999999999", std::numeric_limits<std::int32_t>::min()},
      {"8080/", 8080},
  };
  for (const Case& c : cases) EXPECT_EQ(to_integer(c.text), c.expected) << c.text;
}

TEST(ToInteger, OtherValueKinds) {
  EXPECT_EQ(to_integer(true), 1);
  EXPECT_EQ(to_integer(std::uint8_t{200}), 200);
  EXPECT_EQ(to_integer(-2.9), -2);
  EXPECT_EQ(to_integer(2.9), 2);
  EXPECT_EQ(to_integer(1e20), std::numeric_limits<std::int32_t>::max());
}

TEST(FullWidth, FoldsTheFormsItKnows) {
  EXPECT_EQ(full_width_to_half_width(bytes({0xA3, 0xC1, 0xA1, 0xAB, 0xA1, 0xEE, 0xA1, 0xEF})),
            "A~**");
  // other double-byte characters pass through whole, also ones whose trail looks like ASCII
  EXPECT_EQ(full_width_to_half_width(bytes({0xB0, 0xA3, 0xA3, 0x41})),
            bytes({0xB0, 0xA3, 0xA3, 0x41}));
}

TEST(ToText, FromEachValueKind) {
  EXPECT_EQ(to_text(Bytes(std::string("xy\0zz", 5))), "xy");
  EXPECT_EQ(to_text(Bytes(std::string("xy"))), "xy");
  EXPECT_EQ(to_text(Bytes()), "");
  EXPECT_EQ(to_text(-42), "-42");
  EXPECT_EQ(to_text(std::uint8_t{255}), "255");
  EXPECT_EQ(to_text(3.0), "3");
  EXPECT_EQ(to_text(2.0), "2");
  EXPECT_EQ(to_text(0.5), "0.5");
  EXPECT_EQ(to_text(1.0 / 3.0), "0.3333333333333");
}

TEST(ToBytes, LittleEndianAndTexts) {
  EXPECT_EQ(to_bytes("a=1"), Bytes(std::string("a=1")));
  EXPECT_TRUE(to_bytes("").empty());
  EXPECT_EQ(to_bytes(0x01020304), Bytes(bytes({4, 3, 2, 1})));
  EXPECT_EQ(to_bytes(true), Bytes(bytes({1, 0, 0, 0})));
  EXPECT_EQ(to_bytes(std::uint8_t{7}), Bytes(bytes({7})));
  EXPECT_EQ(to_bytes(1.0), Bytes(bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F})));
}

TEST(ByteStrings, LengthsAndCuts) {
  Bytes b(std::string("a\0b", 3));
  EXPECT_EQ(byte_string_length(b), 3);
  EXPECT_EQ(byte_string_length(Bytes()), 0);
  EXPECT_EQ(left_bytes(b, 2), Bytes(std::string("a\0", 2)));
  EXPECT_EQ(left_bytes(b, 10), b);
  EXPECT_TRUE(left_bytes(b, -1).empty());
  EXPECT_EQ(zero_bytes(3), Bytes(std::string(3, '\0')));
  EXPECT_TRUE(zero_bytes(0).empty());
  EXPECT_TRUE(zero_bytes(-4).empty());
  EXPECT_EQ(bit_or(1, 2, 0x10), 0x13);
  EXPECT_EQ(bit_or(5), 5);
}

}  // namespace
}  // namespace stdlookup
