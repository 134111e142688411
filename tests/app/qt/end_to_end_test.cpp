// The whole program as a user meets it: typing into the real window, clicking the real buttons
// and reading the real widgets, against the loopback fixture server standing in for both web
// services.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <future>

#include "app/qt/main_window.h"
#include "app/window_actions.h"
#include "app/window_options.h"
#include "lookup/hosts.h"
#include "qt_test_util.h"
#include "runtime/gbk.h"
#include "runtime/system.h"
#include "support/canned_pages.h"
#include "support/fixture_server.h"
#include "support/gbk_literals.h"
#include "support/opener_recorder.h"
#include "support/recording_presenter.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace stdlookup {
namespace {

using test::answer_next_modal;
using test::click;
using test::g;
using test::q;
using test::wait_for;
using test::widget;

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

  void type(std::string_view edit, const char* utf8) {
    auto* input = widget<QLineEdit>(window, edit);
    input->clear();
    input->setFocus();
    QTest::keyClicks(input, q(utf8));
  }
  std::string text(std::string_view edit) {
    return widget<QLineEdit>(window, edit)->text().toStdString();
  }
  std::string caption(std::string_view name) {
    QWidget* w = widget(window, name);
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toStdString();
    return qobject_cast<QPushButton*>(w)->text().toStdString();
  }
  // Clicks a button and answers the message box it shows, if any, returning its text. The
  // watching timer lives only as long as the click.
  std::string click_and_answer(std::string_view button) {
    std::string shown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) shown = box->text().toStdString();
        modal->close();
      }
    });
    watch.start(5);
    click(window, button);
    return shown;
  }

  test::TempDir home;
  test::ScopedEnv xdg{"XDG_DATA_HOME", home.str()};
  test::FixtureServer server;
  Text previous_query_host = query_host();
  Text previous_download_host = download_host();
  test::OpenerRecorder opener;
  std::vector<Text>& opened = opener.opened;
  MainWindow window{window_actions()};
};

using EndToEndDeathTest = EndToEnd;

TEST_F(EndToEnd, SingleQueryOfACurrentStandard) {
  window.show();
  type(kNumberInput, "GB 2760-2014");
  EXPECT_EQ(click_and_answer(kQueryButton), "");  // no message for a current standard
  EXPECT_EQ(text(kNumberBox), "GB 2760-2014");
  EXPECT_EQ(text(kNameBox), "食品安全国家标准 食品添加剂使用标准");
  EXPECT_EQ(text(kDateBox), "2015-05-24");
  EXPECT_EQ(text(kDepartmentBox), "中华人民共和国国家卫生和计划生育委员会");
  EXPECT_EQ(caption(kStatusLabel), "现行");
  EXPECT_NE(server.requests().back().target.find("/gbquery.htm?SID=GB%202760-2014&x=30&y=8"),
            std::string::npos);
}

TEST_F(EndToEnd, SingleQueryOfAnAbolishedStandardShowsTheMessage) {
  window.show();
  type(kNumberInput, "GB 2760-2011");
  EXPECT_EQ(click_and_answer(kQueryButton), "该标准作废");
  EXPECT_EQ(caption(kStatusLabel), "作废");
  EXPECT_EQ(text(kDateBox), "2015-05-24");
}

TEST_F(EndToEnd, UnknownNumberEmptiesTheFieldsAndAFailedRequestSaysSo) {
  window.show();
  type(kNumberInput, "GB 2760-2011");
  EXPECT_EQ(click_and_answer(kQueryButton), "该标准作废");
  type(kNumberInput, "GB 9999");
  EXPECT_EQ(click_and_answer(kQueryButton), "");
  for (std::string_view field : {kNumberBox, kNameBox, kDateBox, kDepartmentBox})
    EXPECT_EQ(text(field), "") << field;
  // The page holds no status word: the layout's caption, not the previous standard's "作废".
  EXPECT_EQ(caption(kStatusLabel), "标准状态");

  type(kNumberInput, "GB FAIL");
  click_and_answer(kQueryButton);
  EXPECT_EQ(caption(kStatusLabel), "查询失败");
  EXPECT_EQ(text(kNumberBox), "");
}

TEST_F(EndToEnd, BatchFillsTheListLineByLineWhileTheWindowStaysResponsive) {
  // A cookie an earlier visit left for the service: the batch clears the store first.
  std::filesystem::create_directories(home.path() / "stdlookup/Cookies");
  home.write("stdlookup/Cookies/cookies.txt", "127.0.0.1\tFALSE\t/\tFALSE\t0\tvisit\t1\n");
  window.show();
  auto* input = widget<QPlainTextEdit>(window, kBatchInput);
  input->setFocus();
  QTest::keyClicks(input, q("GB 2760-2014"));
  QTest::keyClick(input, Qt::Key_Return);
  QTest::keyClick(input, Qt::Key_Return);
  QTest::keyClicks(input, q("GB 2760-2011  "));

  int ticks_while_running = 0;
  auto* list = widget<QTableWidget>(window, kResultList);
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (list->rowCount() > 0 && list->rowCount() < 3) ++ticks_while_running;
  });
  timer.start(10);

  click(window, kBatchButton);
  EXPECT_FALSE(widget(window, kBatchButton)->isEnabled());
  auto* progress = widget<QProgressBar>(window, kProgressBar);
  ASSERT_TRUE(wait_for([&] { return progress->value() == 3; }));
  EXPECT_GT(ticks_while_running, 5);  // the GUI thread went on while the batch ran

  ASSERT_EQ(list->rowCount(), 3);
  auto cell = [&](int row, int column) {
    QTableWidgetItem* item = list->item(row, column);
    return item ? item->text().toStdString() : std::string();
  };
  EXPECT_EQ(cell(0, 0), "GB 2760-2014");
  EXPECT_EQ(cell(0, 1), "食品安全国家标准 食品添加剂使用标准");
  EXPECT_EQ(cell(0, 2), "2015-05-24");
  EXPECT_EQ(cell(0, 3), "现行");
  EXPECT_EQ(cell(1, 0), "");
  EXPECT_EQ(cell(1, 3), "抱歉，没找到");
  EXPECT_EQ(cell(2, 3), "抱歉，没找到");  // the trailing blanks went into the request
  EXPECT_EQ(progress->maximum(), 3);

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[1].target.find("SID=&x=30&y=8"), std::string::npos);
  EXPECT_NE(requests[2].target.find("SID=GB%202760-2011%20%20&x=30"), std::string::npos);
  EXPECT_EQ(requests[0].header_count("Cookie"), 0);
}

TEST_F(EndToEnd, ExportOfTheBatchWritesTheWorkbookReportsAndOpensIt) {
  window.show();
  auto* input = widget<QPlainTextEdit>(window, kBatchInput);
  input->setPlainText(q("GB 2760-2014\nGB 2760-2011"));
  click(window, kBatchButton);
  ASSERT_TRUE(wait_for([&] { return widget<QProgressBar>(window, kProgressBar)->value() == 2; }));

  const std::string path = (home.path() / "导出").string();  // no extension: .xlsx is added
  std::string message;
  answer_next_modal([&](QWidget* dialog) {
    auto* name = dialog->findChild<QLineEdit*>();
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(path));
    answer_next_modal([&](QWidget* modal) {
      if (auto* box = qobject_cast<QMessageBox*>(modal)) message = box->text().toStdString();
      modal->close();
    });
    QTest::keyClick(name, Qt::Key_Return);
  });
  click(window, kExportButton);
  ASSERT_TRUE(wait_for([&] { return !message.empty(); }));
  EXPECT_EQ(message, "导出成功!");
  EXPECT_EQ(opened, std::vector<Text>{path + ".xlsx"});
  EXPECT_GT(std::filesystem::file_size(path + ".xlsx"), 0u);
}

TEST_F(EndToEnd, ExportAsksBeforeReplacingAndADeclinedQuestionLeavesTheFileAlone) {
  window.show();
  home.write("kept.xlsx", "the previous export");
  const std::string typed = (home.path() / "kept.xls").string();  // becomes kept.xlsx
  std::string question;
  int dialogs = 0;
  std::function<void(QWidget*)> answer = [&](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      question = box->text().toStdString();
      box->button(QMessageBox::No)->click();
    } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
      if (++dialogs == 2) return files->reject();  // shown again after "No": give up
      EXPECT_TRUE(files->testOption(QFileDialog::DontConfirmOverwrite));  // asked after .xlsx
      auto* name = files->findChild<QLineEdit*>();
      name->setText(QString::fromStdString(typed));
      QTest::keyClick(name, Qt::Key_Return);
    }
    answer_next_modal(answer);  // the modal has closed; answer the next one
  };
  answer_next_modal(answer);
  click(window, kExportButton);
  EXPECT_EQ(dialogs, 2);
  EXPECT_NE(question.find((home.path() / "kept.xlsx").string() + " 已存在"), std::string::npos)
      << question;
  std::ifstream kept(home.path() / "kept.xlsx", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the previous export");
  EXPECT_TRUE(opened.empty());
}

TEST_F(EndToEnd, TheWindowRepaintsWithAWaitCursorWhileARequestHangs) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  server.serve("/gbquery.htm", [released](const test::RecordedRequest&) {
    released.wait_for(std::chrono::seconds(20));
    return page(test::canned_detail_page());
  });
  window.show();
  type(kNumberInput, "GB 2760-2014");
  bool waiting_cursor = false;
  int ticks = 0;
  QTimer during;
  QObject::connect(&during, &QTimer::timeout, [&] {
    // Timers and painting go on while the request is in flight.
    window.repaint();
    if (++ticks == 1) {
      const QCursor* cursor = QApplication::overrideCursor();
      waiting_cursor = cursor != nullptr && cursor->shape() == Qt::WaitCursor;
    }
    if (ticks == 5) release.set_value();
  });
  during.start(20);
  click_and_answer(kQueryButton);
  during.stop();
  EXPECT_GE(ticks, 5);
  EXPECT_TRUE(waiting_cursor);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(text(kNumberBox), "GB 2760-2014");
}

TEST_F(EndToEndDeathTest, ClosingTheWindowDuringAHangingRequestEndsTheProgramAtOnce) {
  EXPECT_EXIT(
      {
        test::CannedResponse silence;
        silence.never_answer = true;
        server.serve("/gbquery.htm", silence);
        window.show();
        QTimer::singleShot(200, &window, [this] { window.close(); });
        click(window, kQueryButton);
        std::_Exit(3);  // the click returned: the close did not end the program
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(EndToEnd, DownloadSearchFollowsTheFirstEntryOnly) {
  const std::string first = server.url("/standard/1.html");
  server.serve("/standard/search.php",
               page("<UL><LI><SPAN class=posttimeaa>2015</SPAN><A title=\"a\" href=\"" + first +
                    "\" target=_blank style=\"font-size:14px\">a</A></LI>"
                    "<LI><SPAN class=posttimeaa>2011</SPAN><A href=\"" +
                    server.url("/standard/2.html") +
                    "\" target=_blank style=\"font-size:14px\">b</A></LI></UL>"));
  server.serve("/standard/1.html",
               page("<a class=\"telecom\" href=\"http://files.example/1.pdf\">dl</a>"));
  window.show();
  EXPECT_EQ(caption(kDownloadLinkButton), "查找中");
  type(kNumberInput, "GB 2760-2014");
  click(window, kDownloadSearchButton);
  EXPECT_EQ(caption(kDownloadLinkButton), "找到了，点此下载");
  EXPECT_EQ(text(kDownloadLinkBox), "http://files.example/1.pdf");
  ASSERT_EQ(server.request_count(), 2u);
  EXPECT_NE(server.requests()[0].target.find(
                "/standard/search.php?corpstandard=2&fields=0&kw=GB%202760-2014"),
            std::string::npos);
  click(window, kDownloadLinkButton);
  EXPECT_EQ(opened, std::vector<Text>{"http://files.example/1.pdf"});

  // The next standard has no entry: 按钮6 must not open the previous standard's file.
  server.serve("/standard/search.php", page(g("<p>没有找到</p>")));
  type(kNumberInput, "GB 1");
  click(window, kDownloadSearchButton);
  EXPECT_EQ(caption(kDownloadLinkButton), "查找中");
  EXPECT_EQ(text(kDownloadLinkBox), "");
  click(window, kDownloadLinkButton);
  EXPECT_EQ(opened.size(), 1u);
}

TEST_F(EndToEnd, DownloadSearchWithoutEntryChangesNothingAndWithoutLinkEmptiesIt) {
  server.serve("/standard/search.php", page(g("<p>没有找到</p>")));
  window.show();
  type(kNumberInput, "GB 1");
  click(window, kDownloadSearchButton);
  EXPECT_EQ(server.request_count(), 1u);  // no second request
  EXPECT_EQ(caption(kDownloadLinkButton), "查找中");
  EXPECT_EQ(text(kDownloadLinkBox), "");

  server.serve("/standard/search.php", page("<LI><SPAN class=posttimeaa>x</SPAN><A href=\"" +
                                            server.url("/standard/3.html") +
                                            "\" target=_blank style=\"font-size:14px\">c</A>"));
  server.serve("/standard/3.html", page("<p>no link here</p>"));
  click(window, kDownloadSearchButton);
  EXPECT_EQ(caption(kDownloadLinkButton), "找到了，点此下载");
  EXPECT_EQ(text(kDownloadLinkBox), "");
  click(window, kDownloadLinkButton);
  EXPECT_TRUE(opened.empty());  // an empty link opens nothing
}

TEST_F(EndToEnd, TheSettingsFileChoosesTheHostsAndAMalformedOneFallsBackWithOneMessage) {
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
  window.show();
  type("编辑框1", "GB 2760-2014");
  click_and_answer("按钮1");
  EXPECT_EQ(caption("标签5"), "现行");
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

}  // namespace
}  // namespace stdlookup
