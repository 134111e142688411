#include "lookup/scrape.h"

#include <gtest/gtest.h>

#include <fstream>

#include "runtime/conversion.h"
#include "runtime/text.h"
#include "support/canned_pages.h"
#include "support/gbk_literals.h"

namespace stdlookup {
namespace {

using test::bytes;
using test::g;

// The canned page with `from` (UTF-8) replaced by `to` (UTF-8) once.
std::string edited(const std::string& from, const std::string& to) {
  std::string page = test::canned_detail_page();
  std::size_t at = page.find(g(from));
  EXPECT_NE(at, std::string::npos) << from;
  return page.replace(at, g(from).size(), g(to));
}

TEST(ScrapeDetailPage, CutsEveryFieldOfTheServicePage) {
  DetailPage page = scrape_detail_page(test::canned_detail_page());
  EXPECT_EQ(gbk_to_utf8(page.fields.number), "GB 2760-2014");
  EXPECT_EQ(gbk_to_utf8(page.fields.chinese_name), "食品安全国家标准 食品添加剂使用标准");
  EXPECT_EQ(gbk_to_utf8(page.fields.implementation_date), "2015-05-24");
  EXPECT_EQ(gbk_to_utf8(page.fields.publishing_department),
            "中华人民共和国国家卫生和计划生育委员会");
  EXPECT_TRUE(page.fields.status.empty());
  EXPECT_TRUE(page.current);
  EXPECT_FALSE(page.abolished);
  EXPECT_FALSE(page.apology);
}

struct StatusCase {
  std::string name;
  std::string page;
  bool current, abolished, apology;
};

TEST(ScrapeDetailPage, StatusWordsAnywhereOnThePage) {
  const StatusCase cases[] = {
      {"current only", test::canned_detail_page(), true, false, false},
      {"abolished", edited("现行</font>", "作废</font>"), false, true, false},
      {"both", edited("代替标准", "作废标准"), true, true, false},
      {"neither", edited("现行</font>", "待定</font>"), false, false, false},
      {"apology", g("<p>抱歉，没有找到该标准</p>"), false, false, true},
      {"empty", "", false, false, false},
      // the bytes of 现行 (CF D6 D0 D0) straddling characters: B0 CF | D6 D0 | D0 A1
      {"across a character boundary", bytes({0xB0, 0xCF, 0xD6, 0xD0, 0xD0, 0xA1}), false, false,
       false},
  };
  for (const StatusCase& c : cases) {
    DetailPage page = scrape_detail_page(c.page);
    EXPECT_EQ(page.current, c.current) << c.name;
    EXPECT_EQ(page.abolished, c.abolished) << c.name;
    EXPECT_EQ(page.apology, c.apology) << c.name;
  }
}

TEST(ScrapeDetailPage, AMissingEndMarkerEmptiesOnlyThatField) {
  // No "&nbsp;</td>" anywhere; "&nbsp" alone still ends the date and the department.
  std::string page =
      replace_text(test::canned_detail_page(), "&nbsp;</td>", "&nbsp </td>", 1, std::nullopt, true);
  DetailPage scraped = scrape_detail_page(page);
  EXPECT_EQ(scraped.fields.number, "");
  EXPECT_EQ(gbk_to_utf8(scraped.fields.chinese_name), "食品安全国家标准 食品添加剂使用标准");
  EXPECT_EQ(gbk_to_utf8(scraped.fields.implementation_date), "2015-05-24");
  EXPECT_EQ(gbk_to_utf8(scraped.fields.publishing_department),
            "中华人民共和国国家卫生和计划生育委员会");
}

TEST(ScrapeDetailPage, AZeroByteCutsThePage) {
  std::string body = test::canned_detail_page();
  body.insert(body.find(g("中文名称")), 1, '\0');  // after the number, before the rest
  DetailPage page = scrape_detail_page(to_text(Bytes(body)));
  EXPECT_EQ(gbk_to_utf8(page.fields.number), "GB 2760-2014");
  EXPECT_EQ(page.fields.chinese_name, "");
  EXPECT_EQ(page.fields.implementation_date, "");
  EXPECT_EQ(page.fields.publishing_department, "");
  EXPECT_FALSE(page.current);  // the status word lies after the zero byte
}

TEST(ScrapeDetailPage, UpperCaseTagsMatchNothing) {
  std::string page = test::canned_detail_page();
  for (auto [lower, upper] : {std::pair{"</span>", "</SPAN>"}, std::pair{"<td", "<TD"}}) {
    page = replace_text(page, lower, upper, 1, std::nullopt, true);
  }
  DetailPage scraped = scrape_detail_page(page);
  EXPECT_EQ(scraped.fields, StandardRecord{});
  EXPECT_TRUE(scraped.current);  // the words are still there
}

TEST(ScrapeDetailPage, TheLooseDateMarkerKeepsMarkupInTheValue) {
  DetailPage page =
      scrape_detail_page(edited("实施日期：</span>2015-05-24&nbsp;",
                                "实施日期：</span></td>\r\n<td><b>2015-05-24</b>&nbsp;"));
  EXPECT_EQ(gbk_to_utf8(page.fields.implementation_date), "</td>\r\n<td><b>2015-05-24</b>");
}

TEST(ScrapeDetailPage, FieldsAreNotTrimmedOrDecoded) {
  DetailPage page =
      scrape_detail_page(edited("GB 2760-2014&nbsp;</td>", " GB&amp;2760 &nbsp;</td>"));
  EXPECT_EQ(page.fields.number, " GB&amp;2760 ");
}

}  // namespace
}  // namespace stdlookup
