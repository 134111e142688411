// The demo service's pages must be what the scrapers expect, for every sample standard.
#include <gtest/gtest.h>

#include "demo_service.h"
#include "lookup/scrape.h"
#include "runtime/gbk.h"
#include "sample_standards.h"
#include "web/text_utils.h"

namespace stdlookup {
namespace {

TEST(DemoPages, EverySampleStandardScrapesBackToItsFields) {
  ASSERT_GE(demo::sample_standards().size(), 20u);
  int current = 0, abolished = 0;
  for (const demo::SampleStandard& s : demo::sample_standards()) {
    DetailPage page = scrape_detail_page(demo::detail_page_for(utf8_to_gbk(s.number)));
    EXPECT_EQ(gbk_to_utf8(page.fields.number), s.number);
    EXPECT_EQ(gbk_to_utf8(page.fields.chinese_name), s.chinese_name) << s.number;
    EXPECT_EQ(gbk_to_utf8(page.fields.implementation_date), s.implementation_date) << s.number;
    EXPECT_EQ(gbk_to_utf8(page.fields.publishing_department), s.publishing_department) << s.number;
    EXPECT_EQ(page.current, s.current) << s.number;
    EXPECT_EQ(page.abolished, !s.current) << s.number;
    EXPECT_FALSE(page.apology) << s.number;
    (s.current ? current : abolished)++;
  }
  EXPECT_GT(current, 0);
  EXPECT_GT(abolished, 0);
}

TEST(DemoPages, NumbersAreMatchedAsPeopleTypeThem) {
  EXPECT_EQ(gbk_to_utf8(scrape_detail_page(demo::detail_page_for("gb2760-2024")).fields.number),
            "GB 2760-2024");
  DetailPage unknown = scrape_detail_page(demo::detail_page_for("GB 9999-1999"));
  EXPECT_TRUE(unknown.apology);
  EXPECT_EQ(unknown.fields, StandardRecord{});
  EXPECT_TRUE(scrape_detail_page(demo::detail_page_for("")).apology);
}

TEST(DemoPages, SearchResultsCarryAbsoluteDetailLinksFirstMatchFirst) {
  std::string page = demo::search_page_for("GB 2762", "127.0.0.1:8731");
  std::string entry =
      text_between(page, "<LI><SPAN class=posttimeaa", "target=_blank style=\"font-size:");
  EXPECT_EQ(text_between(entry, "href=\"", "\""), "http://127.0.0.1:8731/standard/4.html");
  EXPECT_EQ(text_between(demo::search_page_for("nothing", "h"), "<LI><SPAN class=posttimeaa",
                         "target=_blank"),
            "");
}

}  // namespace
}  // namespace stdlookup
