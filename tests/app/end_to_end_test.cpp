// The whole program as a user meets it, the same for every window front end: typing into the
// real window, clicking the real buttons and reading the real controls, against the loopback
// fixture server standing in for both web services.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "app/window_actions.h"
#include "app/window_driver.h"
#include "app/window_options.h"
#include "lookup/hosts.h"
#include "runtime/gbk.h"
#include "runtime/system.h"
#include "support/canned_pages.h"
#include "support/fixture_server.h"
#include "support/gbk_literals.h"
#include "support/long_list.h"
#include "support/opener_recorder.h"
#include "support/platform.h"
#include "support/recording_presenter.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/workbook_reader.h"

namespace stdlookup {
namespace {

using test::g;

test::CannedResponse page(std::string body) {
  test::CannedResponse response;
  response.body = std::move(body);
  return response;
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const Text host = "127.0.0.1:" + std::to_string(server.port());
    set_query_host(host);
    set_download_host(host);
    // The query service: the canned page for GB 2760-2014, abolished for GB 2760-2011, an
    // apology for any other number, and an error for "GB FAIL".
    server.serve("/gbquery.htm", [](const test::RecordedRequest& request) {
      const std::string& t = request.target;
      if (t.find("SID=GB%202760-2014&") != std::string::npos)
        return page(test::canned_detail_page());
      if (t.find("SID=GB%202760-2011&") != std::string::npos) {
        return page(test::canned_detail_page_with_status("作废"));
      }
      if (t.find("SID=GB%20FAIL&") != std::string::npos) {
        test::CannedResponse failure = page("<html>busy</html>");
        failure.status = 503;
        failure.reason = "Service Unavailable";
        return failure;
      }
      return page(g("<p>抱歉，没有找到该标准</p>"));
    });
  }
  void TearDown() override {
    set_query_host(previous_query_host);
    set_download_host(previous_download_host);
  }

  // What the real controls hold, in UTF-8.
  std::string text(std::string_view edit) {
    return gbk_to_utf8(window->controls().edit_text(edit));
  }
  std::string caption(std::string_view name) {
    return gbk_to_utf8(window->controls().caption(name));
  }
  std::string cell(int row, int column) {
    return gbk_to_utf8(window->controls().list_cell(kResultList, row, column));
  }
  // The texts of the message boxes the click showed (each answered with OK).
  std::vector<std::string> click(std::string_view button) {
    window->modals.clear();
    window->click(button);
    std::vector<std::string> texts;
    for (const test::Modal& modal : window->modals) texts.push_back(modal.text);
    return texts;
  }
  // Clicks 按钮3 and confirms `path` in the save dialog; every other modal gets OK.
  void export_to(const std::string& path) {
    window->answer = [path](const test::Modal& modal) {
      test::ModalAnswer answer;
      if (modal.file_dialog) answer.file_name = path;
      return answer;
    };
    window->modals.clear();
    window->click(kExportButton);
  }
  // The first `rows` rows of the long list, written at once.
  void fill_list(int rows) {
    Controls& controls = window->controls();
    controls.together([&] {
      for (int i = 0; i < rows; ++i) {
        const std::vector<std::string> cells = test::long_list_row(i);
        const int row = controls.list_insert_row(kResultList, g(cells[0]));
        for (int column = 1; column < 4; ++column) {
          controls.list_set_cell(kResultList, row, column,
                                 g(cells[static_cast<std::size_t>(column)]));
        }
      }
    });
  }
  void run_batch(const char* numbers, int count) {
    window->type(kBatchInput, numbers);
    window->click(kBatchButton);
    ASSERT_TRUE(window->wait_for([&] { return window->progress_position(kProgressBar) == count; }));
  }

  test::TempDir home;
  test::ScopedEnv xdg{"XDG_DATA_HOME", home.str()};
  test::FixtureServer server;
  Text previous_query_host = query_host();
  Text previous_download_host = download_host();
  test::OpenerRecorder opener;
  std::vector<Text>& opened = opener.opened;
  std::unique_ptr<test::WindowDriver> window = test::make_window_driver(window_actions());
};

using EndToEndDeathTest = EndToEnd;
using Texts = std::vector<std::string>;

TEST_F(EndToEnd, SingleQueryOfACurrentStandard) {
  window->show();
  window->type(kNumberInput, "GB 2760-2014");
  EXPECT_EQ(click(kQueryButton), Texts{});  // no message for a current standard
  EXPECT_EQ(text(kNumberBox), "GB 2760-2014");
  EXPECT_EQ(text(kNameBox), "食品安全国家标准 食品添加剂使用标准");
  EXPECT_EQ(text(kDateBox), "2015-05-24");
  EXPECT_EQ(text(kDepartmentBox), "中华人民共和国国家卫生和计划生育委员会");
  EXPECT_EQ(caption(kStatusLabel), "现行");
  EXPECT_NE(server.requests().back().target.find("/gbquery.htm?SID=GB%202760-2014&x=30&y=8"),
            std::string::npos);
}

TEST_F(EndToEnd, AbolishedThenUnknownThenFailedLeaveNothingStale) {
  window->show();
  window->type(kNumberInput, "GB 2760-2011");
  EXPECT_EQ(click(kQueryButton), Texts{"该标准作废"});
  EXPECT_EQ(caption(kStatusLabel), "作废");
  EXPECT_EQ(text(kDateBox), "2015-05-24");

  window->type(kNumberInput, "GB 9999");
  EXPECT_EQ(click(kQueryButton), Texts{});
  for (std::string_view field : {kNumberBox, kNameBox, kDateBox, kDepartmentBox})
    EXPECT_EQ(text(field), "") << field;
  // The page holds no status word: the layout's caption, not the previous standard's "作废".
  EXPECT_EQ(caption(kStatusLabel), "标准状态");

  window->type(kNumberInput, "GB FAIL");
  click(kQueryButton);
  EXPECT_EQ(caption(kStatusLabel), "查询失败");
  EXPECT_EQ(text(kNumberBox), "");
}

TEST_F(EndToEnd, BatchFillsTheListLineByLineWhileTheWindowStaysResponsive) {
  // A cookie an earlier visit left for the service: the batch clears the store first.
  std::filesystem::create_directories(home.path() / "stdlookup/Cookies");
  home.write("stdlookup/Cookies/cookies.txt", "127.0.0.1\tFALSE\t/\tFALSE\t0\tvisit\t1\n");
  window->show();
  window->type(kBatchInput, "GB 2760-2014\n\nGB 2760-2011  ");
  EXPECT_EQ(text(kBatchInput), "GB 2760-2014\r\n\r\nGB 2760-2011  ");

  int ticks_while_running = 0;
  window->start_ticks(10, [&] {
    const int rows = window->controls().list_row_count(kResultList);
    if (rows > 0 && rows < 3) ++ticks_while_running;
  });
  window->click(kBatchButton);
  EXPECT_TRUE(window->controls().disabled(kBatchButton));
  ASSERT_TRUE(window->wait_for([&] { return window->progress_position(kProgressBar) == 3; }));
  window->stop_ticks();
  EXPECT_GT(ticks_while_running, 5);  // the GUI thread went on while the batch ran

  ASSERT_EQ(window->controls().list_row_count(kResultList), 3);
  EXPECT_EQ(cell(0, 0), "GB 2760-2014");
  EXPECT_EQ(cell(0, 1), "食品安全国家标准 食品添加剂使用标准");
  EXPECT_EQ(cell(0, 2), "2015-05-24");
  EXPECT_EQ(cell(0, 3), "现行");
  EXPECT_EQ(cell(1, 0), "");
  EXPECT_EQ(cell(1, 3), "抱歉，没找到");
  EXPECT_EQ(cell(2, 3), "抱歉，没找到");  // the trailing blanks went into the request
  EXPECT_EQ(window->progress_maximum(kProgressBar), 3);

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[1].target.find("SID=&x=30&y=8"), std::string::npos);
  EXPECT_NE(requests[2].target.find("SID=GB%202760-2011%20%20&x=30"), std::string::npos);
  EXPECT_EQ(requests[0].header_count("Cookie"), 0);
}

TEST_F(EndToEnd, ExportOfTheBatchWritesTheWorkbookReportsAndOpensIt) {
  window->show();
  run_batch("GB 2760-2014\nGB 2760-2011", 2);
  // No extension: .xlsx is added.
  const std::string path = test::native_text(home.path() / native_path("导出"));
  export_to(path);
  ASSERT_EQ(window->modals.size(), 2u);
  EXPECT_TRUE(window->modals[0].file_dialog);
  EXPECT_EQ(window->modals[1].text, "导出成功!");
  EXPECT_EQ(opened, std::vector<Text>{path + ".xlsx"});
  EXPECT_GT(std::filesystem::file_size(native_path(path + ".xlsx")), 0u);
}

TEST_F(EndToEnd, TheLongestListTheOldProgressBarCouldCountExportsCellByCell) {
  fill_list(test::kLongListRows);
  const std::string path = test::native_text(home.path() / native_path("长清单.xlsx"));
  export_to(path);
  ASSERT_FALSE(window->modals.empty());
  EXPECT_EQ(window->modals.back().text, "导出成功!");
  EXPECT_EQ(test::long_list_differences(test::read_workbook(path), test::kLongListRows), "");
}

TEST_F(EndToEnd, ExportAsksBeforeReplacingAndADeclinedQuestionLeavesTheFileAlone) {
  window->show();
  home.write("kept.xlsx", "the previous export");
  const std::string typed = test::native_text(home.path() / "kept.xls");  // becomes kept.xlsx
  int dialogs = 0;
  window->answer = [&](const test::Modal& modal) {
    test::ModalAnswer answer;
    if (!modal.file_dialog) {
      answer.button = MessageBoxButton::no;
    } else if (++dialogs == 1) {
      answer.file_name = typed;  // shown again after "No": cancelled then
    }
    return answer;
  };
  window->modals.clear();
  window->click(kExportButton);
  EXPECT_EQ(dialogs, 2);
  ASSERT_EQ(window->modals.size(), 3u);
  EXPECT_NE(window->modals[1].text.find(test::native_text(home.path() / "kept.xlsx") + " 已存在"),
            std::string::npos)
      << window->modals[1].text;
  std::ifstream kept(home.path() / "kept.xlsx", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the previous export");
  EXPECT_TRUE(opened.empty());
}

TEST_F(EndToEnd, TheWindowPaintsWithAWaitCursorWhileARequestHangs) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  server.serve("/gbquery.htm", [released](const test::RecordedRequest&) {
    released.wait_for(std::chrono::seconds(20));
    return page(test::canned_detail_page());
  });
  window->show();
  window->type(kNumberInput, "GB 2760-2014");
  bool waiting_cursor = false;
  int ticks = 0;
  window->start_ticks(20, [&] {
    // Timers and painting go on while the request is in flight.
    if (++ticks == 1) waiting_cursor = window->wait_cursor();
    if (ticks == 5) release.set_value();
  });
  window->click(kQueryButton);
  window->stop_ticks();
  EXPECT_GE(ticks, 5);
  EXPECT_TRUE(waiting_cursor);
  EXPECT_FALSE(window->wait_cursor());
  EXPECT_EQ(text(kNumberBox), "GB 2760-2014");
}

TEST_F(EndToEndDeathTest, ClosingTheWindowDuringAHangingRequestEndsTheProgramAtOnce) {
  EXPECT_EXIT(
      {
        test::CannedResponse silence;
        silence.never_answer = true;
        server.serve("/gbquery.htm", silence);
        window->show();
        window->start_ticks(200, [this] { window->close(); });
        window->click(kQueryButton);
        std::_Exit(3);  // the click returned: the close did not end the program
      },
      ::testing::ExitedWithCode(0), "");
}

// A close during the export's pass over the list waits for the export: the workbook is whole,
// and then the program ends with exit code 0.
TEST_F(EndToEndDeathTest, ClosingTheWindowDuringAnExportFinishesItThenEndsTheProgram) {
  constexpr int kRows = 3000;
  // The child that runs the window is a process of its own: it learns the path from here.
  const char* given = std::getenv("STDLOOKUP_TEST_WORKBOOK");
  const std::string path = given ? given : test::native_text(home.path() / "closed.xlsx");
  test::ScopedEnv shared{"STDLOOKUP_TEST_WORKBOOK", path};
  EXPECT_EXIT(
      {
        fill_list(kRows);
        window->show();
        bool closed = false;
        window->start_ticks(10, [&] {
          if (closed || window->modals.size() != 1) return;  // the save dialog answered and gone
          closed = true;
          window->close();
        });
        export_to(path);
        if (!closed || window->modals.size() != 2) std::_Exit(3);  // no close, no "导出成功!"
        window->start_ticks(10000, [] { std::_Exit(4); });         // the window closes by itself
        window->run_message_loop();
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(test::long_list_differences(test::read_workbook(path), kRows), "");
}

TEST_F(EndToEnd, DownloadSearchFollowsTheFirstEntryOnlyAndNeverKeepsAStaleLink) {
  const std::string first = server.url("/standard/1.html");
  server.serve("/standard/search.php",
               page("<UL><LI><SPAN class=posttimeaa>2015</SPAN><A title=\"a\" href=\"" + first +
                    "\" target=_blank style=\"font-size:14px\">a</A></LI>"
                    "<LI><SPAN class=posttimeaa>2011</SPAN><A href=\"" +
                    server.url("/standard/2.html") +
                    "\" target=_blank style=\"font-size:14px\">b</A></LI></UL>"));
  server.serve("/standard/1.html",
               page("<a class=\"telecom\" href=\"http://files.example/1.pdf\">dl</a>"));
  window->show();
  EXPECT_EQ(caption(kDownloadLinkButton), "查找中");
  window->type(kNumberInput, "GB 2760-2014");
  window->click(kDownloadSearchButton);
  EXPECT_EQ(caption(kDownloadLinkButton), "找到了，点此下载");
  EXPECT_EQ(text(kDownloadLinkBox), "http://files.example/1.pdf");
  ASSERT_EQ(server.request_count(), 2u);
  EXPECT_NE(server.requests()[0].target.find(
                "/standard/search.php?corpstandard=2&fields=0&kw=GB%202760-2014"),
            std::string::npos);
  window->click(kDownloadLinkButton);
  EXPECT_EQ(opened, std::vector<Text>{"http://files.example/1.pdf"});

  // The next standard has no entry: 按钮6 must not open the previous standard's file.
  server.serve("/standard/search.php", page(g("<p>没有找到</p>")));
  window->type(kNumberInput, "GB 1");
  window->click(kDownloadSearchButton);
  EXPECT_EQ(server.request_count(), 3u);  // no request for a detail page
  EXPECT_EQ(caption(kDownloadLinkButton), "查找中");
  EXPECT_EQ(text(kDownloadLinkBox), "");
  window->click(kDownloadLinkButton);
  EXPECT_EQ(opened.size(), 1u);

  // An entry whose page has no link: found, but nothing to open.
  server.serve("/standard/search.php", page("<LI><SPAN class=posttimeaa>x</SPAN><A href=\"" +
                                            server.url("/standard/3.html") +
                                            "\" target=_blank style=\"font-size:14px\">c</A>"));
  server.serve("/standard/3.html", page("<p>no link here</p>"));
  window->click(kDownloadSearchButton);
  EXPECT_EQ(caption(kDownloadLinkButton), "找到了，点此下载");
  EXPECT_EQ(text(kDownloadLinkBox), "");
  window->click(kDownloadLinkButton);
  EXPECT_EQ(opened.size(), 1u);  // an empty link opens nothing
}

TEST_F(EndToEnd, TheSettingsFileChoosesTheHostsAndAMalformedOneFallsBackWithOneMessage) {
  if (test::kWindows) GTEST_SKIP() << "the settings folder there is %APPDATA%";
  test::TempDir config;
  test::ScopedEnv xdg_config{"XDG_CONFIG_HOME", config.str()};
  test::ScopedEnv no_query{"STDLOOKUP_QUERY_HOST", std::nullopt};
  test::ScopedEnv no_proxy{"STDLOOKUP_PROXY", std::nullopt};
  std::filesystem::create_directories(config.path() / "stdlookup");
  const std::string file = (config.path() / "stdlookup/stdlookup.conf").string();
  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  set_query_host("elsewhere.invalid");

  config.write("stdlookup/stdlookup.conf", "# the fixture\nquery_host = " + host + "\n");
  EXPECT_EQ(use_window_settings(), "");
  window->show();
  window->type(kNumberInput, "GB 2760-2014");
  click(kQueryButton);
  EXPECT_EQ(caption(kStatusLabel), "现行");
  EXPECT_EQ(server.request_count(), 1u);

  config.write("stdlookup/stdlookup.conf", "query_host = " + host + "\nproxy = nowhere\n");
  const std::string problem = use_window_settings();
  EXPECT_EQ(problem.rfind(file + ":2: proxy \"nowhere\"", 0), 0u) << problem;
  EXPECT_EQ(query_host(), built_in_settings().query_host.value);  // not the file's host
  test::RecordingPresenter presenter;
  report_settings_problem(problem);
  report_settings_problem("");
  ASSERT_EQ(presenter.boxes.size(), 1u);
  EXPECT_NE(gbk_to_utf8(presenter.boxes[0].message).find(file + ":2:"), std::string::npos);
}

TEST_F(EndToEnd, RowsWithoutANumberKeepTheLineAndAnOverLongNameIsCut) {
  std::string body = test::canned_detail_page();
  server.serve("/gbquery.htm?SID=GB%20LONG&x=30&y=8",
               page(body.insert(body.find(g("\"2\">食品")) + 4, std::string(40000, 'x'))));
  window->show();
  run_batch("GB FAIL\nGB 9999\nGB LONG", 3);
  EXPECT_EQ(cell(0, 0) + "," + cell(1, 0), "GB FAIL,GB 9999");
  const std::string path = test::native_text(home.path() / "rows.xlsx");
  export_to(path);
  EXPECT_NE(window->modals.back().text.find("第 4 行有超过 32767 个字符的内容，已截断"),
            std::string::npos);
  EXPECT_EQ(test::read_workbook(path)["cells"]["B4"]["value"], std::string(32766, 'x') + "…");
}

}  // namespace
}  // namespace stdlookup
