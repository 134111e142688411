#include "runtime/gbk.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/gbk_literals.h"

namespace stdlookup {
namespace {

using namespace literals;
using test::bytes;

TEST(Gbk, RoundTripsChineseAndAscii) {
  EXPECT_EQ(utf8_to_gbk("现行"), bytes({0xCF, 0xD6, 0xD0, 0xD0}));
  EXPECT_EQ(utf8_to_gbk("：　"), bytes({0xA3, 0xBA, 0xA1, 0xA1}));  // full-width colon, space
  EXPECT_EQ(gbk_to_utf8(bytes({0xD7, 0xF7, 0xB7, 0xCF})), "作废");
  EXPECT_EQ(gbk_to_utf8(utf8_to_gbk("GB 2760-2014 食品添加剂")), "GB 2760-2014 食品添加剂");
  EXPECT_EQ(utf8_to_gbk(""), "");
}

TEST(Gbk, WhatGbkCannotHoldBecomesQuestionMark) {
  EXPECT_EQ(utf8_to_gbk("a😀b"), "a?b");
  EXPECT_EQ(utf8_to_gbk("a\xFF"
                        "b"),
            "a?b");                                  // malformed UTF-8
  EXPECT_EQ(utf8_to_gbk("x\xE7\x8E"), "x?");         // truncated sequence at the end
  EXPECT_EQ(gbk_to_utf8(bytes({'a', 0xB0})), "a?");  // lone lead byte
  EXPECT_EQ(gbk_to_utf8(bytes({0xFF, 'z'})), "?z");
}

TEST(Gbk, LiteralsAreConvertedOnceAndShared) {
  const Text& a = "标准状态"_gbk;
  const Text& b = "标准状态"_gbk;
  EXPECT_EQ(&a, &b);
  EXPECT_EQ(a, utf8_to_gbk("标准状态"));
}

TEST(Gbk, ConvertsOnSeveralThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 500; ++i) {
        if (gbk_to_utf8(utf8_to_gbk("抱歉，没找到")) != "抱歉，没找到") ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace stdlookup
