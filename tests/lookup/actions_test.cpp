#include "lookup/actions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>

#include "controls/memory_controls.h"
#include "lookup/batch.h"
#include "lookup/query_url.h"
#include "runtime/gbk.h"
#include "support/canned_pages.h"
#include "support/gbk_literals.h"
#include "support/opener_recorder.h"
#include "support/recording_presenter.h"

namespace stdlookup {
namespace {

using namespace literals;
using test::g;

// Serves pages by URL from memory and records what was asked for.
struct FakeWeb {
  std::map<Text, FetchedPage> pages;
  std::vector<Text> requested;
  PageFetcher fetcher() {
    return [this](const Text& url) {
      requested.push_back(url);
      auto it = pages.find(url);
      return it == pages.end() ? FetchedPage{{}, true} : it->second;
    };
  }
};

class SingleQueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controls.set_caption(kStatusLabel, "标准状态"_gbk);
    for (std::string_view name : {kNumberBox, kNameBox, kDateBox, kDepartmentBox})
      controls.set_edit_text(name, "old");
  }
  void query(const std::string& number_utf8) {
    controls.set_edit_text(kNumberInput, g(number_utf8));
    single_query(controls, web.fetcher());
  }
  Text field(std::string_view name) { return controls.edit_text(name); }

  MemoryControls controls;
  FakeWeb web;
  test::RecordingPresenter presenter;
};

TEST_F(SingleQueryTest, CurrentStandardFillsEveryFieldAndTheStatus) {
  web.pages[query_url(g("GB 2760-2014"))] = {test::canned_detail_page(), false};
  query("GB 2760-2014");
  EXPECT_EQ(web.requested, std::vector<Text>{query_url(g("GB 2760-2014"))});
  EXPECT_EQ(gbk_to_utf8(field(kNumberBox)), "GB 2760-2014");
  EXPECT_EQ(gbk_to_utf8(field(kNameBox)), "食品安全国家标准 食品添加剂使用标准");
  EXPECT_EQ(gbk_to_utf8(field(kDateBox)), "2015-05-24");
  EXPECT_EQ(gbk_to_utf8(field(kDepartmentBox)), "中华人民共和国国家卫生和计划生育委员会");
  EXPECT_EQ(gbk_to_utf8(controls.caption(kStatusLabel)), "现行");
  EXPECT_TRUE(presenter.boxes.empty());
}

TEST_F(SingleQueryTest, AbolishedStandardSaysSoOnceWithDateAndDepartmentStillOld) {
  web.pages[query_url("x")] = {test::canned_detail_page_with_status("作废") + g("现行"),
                               false};  // both words
  struct Watching : test::RecordingPresenter {
    MemoryControls* controls = nullptr;
    std::vector<Text> seen;
    MessageBoxButton show_message_box(const Text& m, const Text& t, unsigned f) override {
      seen = {controls->edit_text(kNumberBox), controls->caption(kStatusLabel),
              controls->edit_text(kDateBox)};
      return test::RecordingPresenter::show_message_box(m, t, f);
    }
  } watching;
  watching.controls = &controls;
  query("x");
  ASSERT_EQ(watching.boxes.size(), 1u);
  EXPECT_EQ(gbk_to_utf8(watching.boxes[0].message), "该标准作废");
  EXPECT_EQ(gbk_to_utf8(watching.boxes[0].title), "信息：");
  EXPECT_EQ(watching.boxes[0].flags, unsigned{kMbOk | kMbTaskModal});
  EXPECT_EQ(gbk_to_utf8(watching.seen[0]), "GB 2760-2014");
  EXPECT_EQ(gbk_to_utf8(watching.seen[1]), "作废");
  EXPECT_EQ(watching.seen[2], "old");
  EXPECT_EQ(gbk_to_utf8(controls.caption(kStatusLabel)), "作废");
  EXPECT_EQ(gbk_to_utf8(field(kDateBox)), "2015-05-24");
}

TEST_F(SingleQueryTest, PageWithoutStatusWordKeepsTheCaption) {
  web.pages[query_url("y")] = {test::canned_detail_page_with_status("待定"), false};
  query("y");
  EXPECT_EQ(gbk_to_utf8(controls.caption(kStatusLabel)), "标准状态");
  EXPECT_EQ(gbk_to_utf8(field(kNumberBox)), "GB 2760-2014");
}

TEST_F(SingleQueryTest, UnknownNumberEmptiesFieldsAndShowsTheLayoutCaptionAgain) {
  controls.set_caption(kStatusLabel, "作废"_gbk);
  web.pages[query_url("GB 1")] = {g("<p>抱歉，没有找到</p>"), false};
  query("GB 1");
  for (std::string_view name : {kNumberBox, kNameBox, kDateBox, kDepartmentBox})
    EXPECT_EQ(field(name), "") << name;
  EXPECT_EQ(gbk_to_utf8(controls.caption(kStatusLabel)), "标准状态");  // not the old "作废"
}

TEST_F(SingleQueryTest, FailedRequestSaysSoInsteadOfKeepingTheOldStatus) {
  controls.set_caption(kStatusLabel, "现行"_gbk);
  query("GB 2760-2014");  // the fake web has no page: the request fails
  for (std::string_view name : {kNumberBox, kNameBox, kDateBox, kDepartmentBox})
    EXPECT_EQ(field(name), "") << name;
  EXPECT_EQ(gbk_to_utf8(controls.caption(kStatusLabel)), "查询失败");
  EXPECT_TRUE(presenter.boxes.empty());
}

TEST_F(SingleQueryTest, NumberGoesIntoTheUrlUnchanged) {
  query(" GB 2760 ");
  query("");
  EXPECT_EQ(web.requested, (std::vector<Text>{query_url(" GB 2760 "), query_url("")}));
  EXPECT_NE(query_url(" GB 2760 ").find("SID= GB 2760 &x=30&y=8"), Text::npos);
}

class BatchQueryTest : public ::testing::Test {
 protected:
  void run(const std::string& text) {
    controls.set_edit_text(kBatchInput, g(text));
    BatchOptions options;
    options.fetch = web.fetcher();
    options.pause_ms = 0;
    batch_query(controls, options);
  }
  std::vector<std::string> row(int r) {
    std::vector<std::string> cells;
    for (int c = 0; c < 4; ++c) cells.push_back(gbk_to_utf8(controls.list_cell(kResultList, r, c)));
    return cells;
  }

  MemoryControls controls;
  FakeWeb web;
  test::RecordingPresenter presenter;
};

TEST_F(BatchQueryTest, OneRowPerLineInOrderWithEmptyLinesAndBlanksKept) {
  web.pages[query_url("GB 2760-2014")] = {test::canned_detail_page(), false};
  web.pages[query_url("")] = {g("抱歉"), false};
  web.pages[query_url("GB 2 ")] = {test::canned_detail_page_with_status("作废"), false};
  run("GB 2760-2014\r\n\r\nGB 2 \r\n");
  EXPECT_EQ(web.requested,
            (std::vector<Text>{query_url("GB 2760-2014"), query_url(""), query_url("GB 2 ")}));
  ASSERT_EQ(controls.list_row_count(kResultList), 3);
  EXPECT_EQ(row(0), (std::vector<std::string>{"GB 2760-2014", "食品安全国家标准 食品添加剂使用标准",
                                              "2015-05-24", "现行"}));
  EXPECT_EQ(row(1), (std::vector<std::string>{"", "", "", "抱歉，没找到"}));
  EXPECT_EQ(row(2)[3], "作废");
  EXPECT_EQ(controls.progress_maximum(kProgressBar), 3);
  EXPECT_EQ(controls.progress_position(kProgressBar), 3);
  EXPECT_TRUE(presenter.boxes.empty());
}

TEST_F(BatchQueryTest, StatusRules) {
  struct Case {
    const char* name;
    FetchedPage page;
    const char* status;
  } cases[] = {
      {"neither word", {test::canned_detail_page_with_status("待定"), false}, "现行"},
      {"a word but no number", {g("<p>现行</p>"), false}, "现行"},
      {"abolished", {test::canned_detail_page_with_status("作废"), false}, "作废"},
      {"apology beats abolished",
       {test::canned_detail_page_with_status("作废") + g("抱歉"), false},
       "抱歉，没找到"},
      {"failed request", {{}, true}, "查询失败"},
      {"no standard's page", {test::portal_page(), false}, "查询失败"},
  };
  std::string text;
  for (const Case& c : cases) {
    web.pages[query_url(c.name)] = c.page;
    text += std::string(c.name) + "\r\n";
  }
  run(text);
  ASSERT_EQ(controls.list_row_count(kResultList), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(row(i)[3], cases[i].status) << cases[i].name;
  EXPECT_EQ(row(5)[0], cases[5].name);  // the number asked
}

TEST_F(BatchQueryTest, EmptyInputAddsNothingAndLeavesTheProgressBar) {
  controls.set_progress_maximum(kProgressBar, 77);
  run("");
  EXPECT_EQ(controls.list_row_count(kResultList), 0);
  EXPECT_EQ(controls.progress_maximum(kProgressBar), 77);
  EXPECT_TRUE(web.requested.empty());
}

// The runner under both batches: the pause after each request and before its row, retries of
// what is worth it, and a cancel that lets no further line start and drops a row it cut short.
TEST(RunBatch, PausesRetriesAndStopsWhenCancelled) {
  std::vector<std::string> log;
  std::atomic<bool> cancel{false};
  int fetches = 0;
  BatchRun run;
  run.pause_ms = 7;
  run.retries = 2;
  run.cancel = &cancel;
  run.fetch = [&](const Text&) {
    log.push_back("fetch");
    FetchedPage page;
    page.failed = ++fetches == 1 || cancel;  // the first answer is a 503, the second a portal's
    page.status = page.failed ? 503 : 200;
    if (!page.failed) page.text = fetches == 2 ? test::portal_page() : g("<p>现行</p>");
    return page;
  };
  run.wait = [&](std::chrono::milliseconds time) {
    log.push_back("wait " + std::to_string(time.count()));
  };
  run.on_line = [&](int, const Text& line) { log.push_back("line " + line); };
  run.on_row = [&](const BatchRow& row) {
    log.push_back("row " + row.record.number + " tries " + std::to_string(row.tries));
  };
  const std::vector<Text> lines = {"GB 1", "GB 2", "GB 3"};
  const auto line_at = [&](int index) { return lines[static_cast<std::size_t>(index)]; };
  EXPECT_EQ(run_batch(2, line_at, run), 2);
  EXPECT_EQ(log, (std::vector<std::string>{"line GB 1", "fetch", "wait 1000", "fetch", "wait 2000",
                                           "fetch", "wait 7", "row GB 1 tries 3", "line GB 2",
                                           "fetch", "wait 7", "row GB 2 tries 1"}));

  log.clear();
  run.retries = 0;
  run.on_line = [&](int, const Text& line) {
    log.push_back("line " + line);
    cancel = true;  // Ctrl-C while the request runs: it fails, and no row is made of it
  };
  EXPECT_EQ(run_batch(3, line_at, run), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"line GB 1", "fetch"}));
}

TEST(BatchLines, SplitAtCrLfOnly) {
  EXPECT_EQ(batch_lines("A\r\n\r\nB\r\n").items(), (std::vector<Text>{"A", "", "B"}));
  EXPECT_EQ(batch_lines("A \r\nB").items(), (std::vector<Text>{"A ", "B"}));
  EXPECT_EQ(batch_lines("A\nB").items(), (std::vector<Text>{"A\nB"}));
  EXPECT_EQ(batch_lines("").count(), 0);
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controls.set_caption(kDownloadLinkButton, "查找中"_gbk);
    controls.set_edit_text(kNumberInput, "GB 2760-2014");
  }
  static std::string entry(const std::string& link) {
    return "<LI><SPAN class=posttimeaa>2015</SPAN><A title=\"t\" href=\"" + link +
           "\" target=_blank style=\"font-size:14px\">x</A></LI>\r\n";
  }
  Text search_url() { return download_search_url("GB 2760-2014"); }

  MemoryControls controls;
  FakeWeb web;
  test::OpenerRecorder opener;
  std::vector<Text>& opened = opener.opened;
};

TEST_F(DownloadTest, FirstEntryIsFollowedAndItsLinkKept) {
  web.pages[search_url()] = {entry("http://d/1.html") + entry("http://d/2.html"), false};
  web.pages["http://d/1.html"] = {"<a class=\"telecom\" href=\"http://d/1.pdf\">", false};
  download_search(controls, web.fetcher());
  EXPECT_EQ(web.requested, (std::vector<Text>{search_url(), "http://d/1.html"}));
  EXPECT_EQ(gbk_to_utf8(controls.caption(kDownloadLinkButton)), "找到了，点此下载");
  EXPECT_EQ(controls.edit_text(kDownloadLinkBox), "http://d/1.pdf");
  open_download_link(controls);
  EXPECT_EQ(opened, std::vector<Text>{"http://d/1.pdf"});
}

TEST_F(DownloadTest, NoEntryForgetsThePreviousLinkAndMakesNoSecondRequest) {
  controls.set_caption(kDownloadLinkButton, "找到了，点此下载"_gbk);
  controls.set_edit_text(kDownloadLinkBox, "http://old/link");
  web.pages[search_url()] = {g("<p>没有找到</p>"), false};
  download_search(controls, web.fetcher());
  EXPECT_EQ(web.requested.size(), 1u);
  EXPECT_EQ(gbk_to_utf8(controls.caption(kDownloadLinkButton)), "查找中");
  EXPECT_EQ(controls.edit_text(kDownloadLinkBox), "");  // 按钮6 opens nothing old
}

TEST_F(DownloadTest, RelativeDetailLinkIsUsedUnchangedAndAMissingDownloadLinkEmptiesTheBox) {
  controls.set_edit_text(kDownloadLinkBox, "http://old/link");
  web.pages[search_url()] = {entry("d.html"), false};
  download_search(controls, web.fetcher());  // "d.html" is not served: the second request fails
  EXPECT_EQ(web.requested, (std::vector<Text>{search_url(), "d.html"}));
  EXPECT_EQ(gbk_to_utf8(controls.caption(kDownloadLinkButton)), "找到了，点此下载");
  EXPECT_EQ(controls.edit_text(kDownloadLinkBox), "");
  open_download_link(controls);  // an empty link opens nothing
  EXPECT_TRUE(opened.empty());
}

TEST_F(DownloadTest, KeywordIsSentUnencoded) {
  EXPECT_NE(search_url().find("/standard/search.php?corpstandard=2&fields=0&kw=GB 2760-2014"),
            Text::npos);
  EXPECT_EQ(search_url().rfind("http://", 0), 0u);
}

TEST(OpenDetailPage, OpensTheQueryUrlOfTheNumberInTheInputBox) {
  for (const std::string number : {"GB 2760-2014", " GB 2760-2014 ", ""}) {
    test::OpenerRecorder opener;
    MemoryControls controls;
    controls.set_edit_text(kNumberInput, number);
    open_detail_page(controls);
    EXPECT_EQ(opener.opened, (std::vector<Text>{query_url(number)})) << number;
  }
}

}  // namespace
}  // namespace stdlookup
