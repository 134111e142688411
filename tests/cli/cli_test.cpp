// Golden tests of stdlookup-cli, run as a program against the loopback fixture server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "controls/memory_controls.h"
#include "emit.h"
#include "export/export.h"
#include "lookup/hosts.h"
#include "runtime/gbk.h"
#include "support/canned_pages.h"
#include "support/fixture_server.h"
#include "support/gbk_literals.h"
#include "support/long_list.h"
#include "support/platform.h"
#include "support/scoped_env.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "support/workbook_reader.h"

namespace stdlookup {
namespace {

using test::g;

std::string replaced(std::string page, const std::string& from_utf8, const std::string& to_utf8) {
  return page.replace(page.find(g(from_utf8)), g(from_utf8).size(), g(to_utf8));
}

std::string file_content(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The number a query asks for (as it arrives, GBK bytes %-escaped or raw; spaces unescaped).
std::string sid_of(const test::RecordedRequest& request) {
  std::string sid = request.target.substr(request.target.find("SID=") + 4);
  sid = sid.substr(0, sid.find("&x=30&y=8"));
  for (std::size_t at; (at = sid.find("%20")) != std::string::npos;) sid.replace(at, 3, " ");
  return sid;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The query service: a page per number.
    server.serve("/gbquery.htm", [this](const test::RecordedRequest& request) {
      const std::string sid = sid_of(request);
      test::CannedResponse response;
      if (sid == "GB 2760-2014") {
        response.body = test::canned_detail_page();
      } else if (sid == "GB 2760-2011" || sid == g("国标 2760")) {
        response.body = replaced(replaced(test::canned_detail_page(), "现行", "作废"),
                                 "GB 2760-2014&", "GB 2760-2011&");
      } else if (sid == "GB EVIL") {  // a server's text that a terminal or spreadsheet would run
        response.body =
            replaced(replaced(test::canned_detail_page(), "GB 2760-2014&", "=HYPERLINK(1)&"),
                     "\"2\">食品安全国家标准", "\"2\">\x1b]0;x\x07\x08\x7f");
      } else if (sid == "GB PORTAL") {
        response.body = test::portal_page();
      } else if (sid == "GB FAIL") {
        response.status = 500;
        response.reason = "Internal Server Error";
        response.body = "oops";
      } else {
        response.body = g("<p>抱歉，没有找到该标准</p>");
      }
      return response;
    });
    server.serve("/standard/search.php", [this](const test::RecordedRequest& request) {
      test::CannedResponse response;
      if (request.target.find("kw=GB%20404") != std::string::npos) {  // its detail page is gone
        response.body = "<LI><SPAN class=posttimeaa>1</SPAN><A href=\"" + server.url("/d/gone") +
                        "\" target=_blank style=\"font-size:14px\">x</A>";
      } else if (request.target.find("kw=GB%202760") != std::string::npos) {
        response.body =
            "<UL><LI><SPAN class=posttimeaa>2015</SPAN><A href=\"" + server.url("/d/1.html") +
            "\" target=_blank style=\"font-size:14px\">x</A></LI>"
            "<LI><SPAN class=posttimeaa>2011</SPAN><A href=\"" +
            server.url("/d/2.html") + "\" target=_blank style=\"font-size:14px\">y</A></LI></UL>";
      } else {
        response.body = g("<p>没有找到</p>");
      }
      return response;
    });
    test::CannedResponse detail;
    detail.body = "<a class=\"telecom\" href=\"http://files.example/gb2760.pdf\">down</a>";
    server.serve("/d/1.html", detail);
  }

  test::ProcessResult cli(std::vector<std::string> args, const std::string& input = "") {
    std::string host = "127.0.0.1:" + std::to_string(server.port());
    args.insert(args.begin(), {STDLOOKUP_CLI_PATH, "--query-host", host, "--download-host", host});
    return test::run_process(args, input);
  }

  test::TempDir home;
  test::ScopedEnv xdg{"XDG_DATA_HOME", home.str()};
  // No settings of the developer's own: an empty settings folder, no variables.
  test::ScopedEnv xdg_config{"XDG_CONFIG_HOME", home.str() + "/config"};
  test::ScopedEnv appdata{"APPDATA", (home.path() / "config").string()};  // Windows' folder
  test::ScopedEnv no_query_host{"STDLOOKUP_QUERY_HOST", std::nullopt};
  test::ScopedEnv no_download_host{"STDLOOKUP_DOWNLOAD_HOST", std::nullopt};
  test::ScopedEnv no_proxy{"STDLOOKUP_PROXY", std::nullopt};
  test::FixtureServer server;
};

TEST_F(CliTest, QueryInEveryFormat) {
  auto json = cli({"query", "GB 2760-2014", "--format", "json"});
  EXPECT_EQ(json.exit_code, 0) << json.err;
  EXPECT_EQ(json.out,
            "{\n"
            "  \"number\": \"GB 2760-2014\",\n"
            "  \"chinese_name\": \"食品安全国家标准 食品添加剂使用标准\",\n"
            "  \"status\": \"现行\",\n"
            "  \"implementation_date\": \"2015-05-24\",\n"
            "  \"publishing_department\": \"中华人民共和国国家卫生和计划生育委员会\",\n"
            "  \"found\": true\n"
            "}\n");
  EXPECT_EQ(json.err, "");

  auto text = cli({"--format", "text", "query", "GB 2760-2014"});
  EXPECT_EQ(text.out,
            "标准编号  GB 2760-2014\n"
            "中文名称  食品安全国家标准 食品添加剂使用标准\n"
            "标准状态  现行\n"
            "实施日期  2015-05-24\n"
            "发布部门  中华人民共和国国家卫生和计划生育委员会\n");

  auto csv = cli({"query", "GB 2760-2014", "--format=csv"});
  EXPECT_EQ(csv.out,
            "标准编号,中文名称,标准状态,实施日期,发布部门\r\n"
            "GB 2760-2014,食品安全国家标准 食品添加剂使用标准,现行,2015-05-24,"
            "中华人民共和国国家卫生和计划生育委员会\r\n");
}

TEST_F(CliTest, QueryStatusesReasonsAndExitCodes) {
  struct Case {
    const char* number;
    const char* status;
    int exit_code;
    const char* reason;  // "": none, and nothing on stderr
  } cases[] = {{"GB 2760-2011", "作废", 0, ""},
               {"GB 1-1999", "抱歉，没找到", 1, ""},
               {"GB FAIL", "查询失败", 1, "HTTP status 500"},
               {"GB PORTAL", "查询失败", 1, "not a standard's page"}};
  for (const Case& c : cases) {
    auto run = cli({"query", c.number, "--format", "json"});
    EXPECT_EQ(run.exit_code, c.exit_code) << c.number;
    const nlohmann::json answer = nlohmann::json::parse(run.out, nullptr, false);
    EXPECT_EQ(answer["status"], c.status) << c.number;
    EXPECT_EQ(answer["found"], c.exit_code == 0) << c.number;
    EXPECT_EQ(answer.value("reason", ""), c.reason) << c.number;
    const std::string said = *c.reason ? c.number + std::string(": 查询失败: ") + c.reason : "";
    EXPECT_THAT(run.err, ::testing::HasSubstr(said));
    EXPECT_EQ(run.err.empty(), said.empty()) << run.err;
  }
  auto batch = cli({"batch", "--delay", "0", "--format", "json"}, "GB FAIL\n");
  EXPECT_EQ(nlohmann::json::parse(batch.out)[0]["reason"], "HTTP status 500");
}

TEST_F(CliTest, ChineseArgumentsGoOutAsGbk) {
  auto run = cli({"query", "国标 2760", "--format", "json"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("\"status\": \"作废\""), std::string::npos) << run.out;
  EXPECT_NE(server.requests().back().target.find(g("国标")), std::string::npos);
}

TEST_F(CliTest, QueryClearsTheCookieFilesFirst) {
  std::filesystem::create_directories(home.path() / "stdlookup/Cookies");
  home.write("stdlookup/Cookies/cookies.txt", "127.0.0.1\tFALSE\t/\tFALSE\t0\told\tcookie\n");
  cli({"query", "GB 2760-2014"});
  EXPECT_EQ(server.requests().back().header("Cookie"), "");
}

constexpr const char* kBatchJson =
    "[\n"
    "  {\n"
    "    \"number\": \"GB 2760-2014\",\n"
    "    \"chinese_name\": \"食品安全国家标准 食品添加剂使用标准\",\n"
    "    \"implementation_date\": \"2015-05-24\",\n"
    "    \"status\": \"现行\"\n"
    "  },\n"
    "  {\n"
    "    \"number\": \"\",\n"
    "    \"chinese_name\": \"\",\n"
    "    \"implementation_date\": \"\",\n"
    "    \"status\": \"抱歉，没找到\"\n"
    "  },\n"
    "  {\n"
    "    \"number\": \"GB 2760-2011\",\n"
    "    \"chinese_name\": \"食品安全国家标准 食品添加剂使用标准\",\n"
    "    \"implementation_date\": \"2015-05-24\",\n"
    "    \"status\": \"作废\"\n"
    "  }\n"
    "]\n";

TEST_F(CliTest, BatchGivesTheSameLinesForLfAndCrLfInput) {
  auto lf = cli({"batch", "--delay", "0", "--format", "json"}, "GB 2760-2014\n\nGB 2760-2011\n");
  EXPECT_EQ(lf.exit_code, 0) << lf.err;
  EXPECT_EQ(lf.out, kBatchJson);
  EXPECT_EQ(lf.err, "");  // stderr is no terminal: no progress
  auto crlf = cli({"batch", "-", "--delay", "0", "--format", "json"},
                  "GB 2760-2014\r\n\r\nGB 2760-2011\r\n");
  EXPECT_EQ(crlf.out, kBatchJson);
  // the empty line was asked for as an empty number
  EXPECT_NE(server.requests()[1].target.find("SID=&x=30&y=8"), std::string::npos);
}

TEST_F(CliTest, BatchTextAndCsvAndBlanksKept) {
  home.write("list.txt", "GB 2760-2014\nGB 2760-2014  \n");
  auto csv = cli({"batch", (home.path() / "list.txt").string(), "--delay=0", "--format", "csv"});
  EXPECT_EQ(csv.exit_code, 0);
  EXPECT_EQ(csv.out,
            "标准号,标准中文名,实施日期,是否作废\r\n"
            "GB 2760-2014,食品安全国家标准 食品添加剂使用标准,2015-05-24,现行\r\n"
            "GB 2760-2014  ,,,抱歉，没找到\r\n");  // without a number: the line as asked
  // the trailing blanks went into the second request, and the service knows no such number
  EXPECT_NE(server.requests().back().target.find("SID=GB%202760-2014%20%20&"), std::string::npos);

  auto text = cli({"batch", (home.path() / "list.txt").string(), "--delay", "0"});
  EXPECT_EQ(text.out, "标准号          标准中文名" + std::string(27, ' ') +
                          "实施日期    是否作废\n"
                          "GB 2760-2014    食品安全国家标准 食品添加剂使用标准  2015-05-24  现行\n"
                          "GB 2760-2014" +
                          std::string(53, ' ') + "抱歉，没找到\n");
}

TEST_F(CliTest, BatchWithAFailedLineExitsOneAndSaysSo) {
  auto run = cli({"batch", "--delay", "0", "--format", "json"}, "GB FAIL\nGB 2760-2014\n");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.out.find("\"status\": \"查询失败\""), std::string::npos);
  EXPECT_NE(run.err.find("GB FAIL: 查询失败"), std::string::npos);
}

TEST_F(CliTest, BatchOutputXlsxIsTheWindowsWorkbook) {
  const std::string name(40000, 'x');  // over the cell limit: cut to 32,767 characters in both
  test::CannedResponse long_name;
  long_name.body = replaced(test::canned_detail_page(), "\"2\">食品安全国家标准", "\"2\">" + name);
  server.serve("/gbquery.htm?SID=GB%20LONG&x=30&y=8", long_name);
  const std::string path = (home.path() / "out.xlsx").string();
  auto run = cli({"batch", "--delay", "0", "--output", path},
                 "GB 2760-2014\nGB 9999\nGB 2760-2011\nGB LONG\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "");  // the rows went to the file
  EXPECT_NE(run.err.find("row 5 (GB LONG): a cell over 32767"), std::string::npos) << run.err;

  // The window's row writer on the same list, in the look the command line gives its workbooks.
  MemoryControls controls;
  const char* rows[4][4] = {
      {"GB 2760-2014", "食品安全国家标准 食品添加剂使用标准", "2015-05-24", "现行"},
      {"GB 9999", "", "", "抱歉，没找到"},
      {"GB 2760-2011", "食品安全国家标准 食品添加剂使用标准", "2015-05-24", "作废"},
      {"GB 2760-2014", name.c_str(), "2015-05-24", "现行"}};
  for (auto& cells : rows) {
    int row = controls.list_insert_row(kResultList, "");
    for (int c = 0; c < 4; ++c) controls.list_set_cell(kResultList, row, c, g(cells[c]));
  }
  const std::string window_path = (home.path() / "window.xlsx").string();
  auto writer = lists::readable_workbook_writer();
  ASSERT_TRUE(write_list_to_workbook(controls, *writer, window_path, false).ok());

  nlohmann::json from_cli = test::read_workbook(path);
  ASSERT_FALSE(from_cli.contains("error")) << from_cli["error"];
  EXPECT_EQ(from_cli, test::read_workbook(window_path));
  EXPECT_EQ(from_cli["max_row"], 5);
}

// A long list looked up and written by the program, then read back cell by cell. Under Wine a
// lookup costs about 20 ms, so there the list is cut to 1,000 rows (the whole 32,767 go through
// the same writer in the export tests).
TEST_F(CliTest, ALongListArrivesInTheWorkbookCellByCell) {
  const int rows = test::kWindows ? 1000 : test::kLongListRows;
  server.serve("/gbquery.htm", [&](const test::RecordedRequest& request) {
    const auto row = test::long_list_row(std::stoi(sid_of(request).substr(3)) - 10000);
    std::string page = replaced(test::canned_detail_page(), "GB 2760-2014&", row[0] + "&");
    page = replaced(page, "\"2\">食品安全国家标准 食品添加剂使用标准", "\"2\">" + row[1]);
    test::CannedResponse response;
    response.body = replaced(replaced(page, "2015-05-24", row[2]), "现行", row[3]);
    return response;
  });
  std::string input;
  for (int i = 0; i < rows; ++i) input += test::long_list_row(i)[0] + "\n";
  const std::string path = test::native_text(home.path() / std::filesystem::path(u8"长清单.xlsx"));
  auto run = cli({"--quiet", "batch", "--delay", "0", "--output", path}, input);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(test::long_list_differences(test::read_workbook(path), rows), "");
}

TEST_F(CliTest, BatchOutputCsvAndJsonFilesMatchStdout) {
  const std::string input = "GB 2760-2014\n\nGB 2760-2011\n";
  auto json = cli({"batch", "--delay", "0", "--output", (home.path() / "o.json").string()}, input);
  EXPECT_EQ(file_content(home.path() / "o.json"), kBatchJson);
  auto csv = cli(
      {"batch", "--delay", "0", "--output", (home.path() / "o.csv").string(), "--format", "csv"},
      input);
  EXPECT_EQ(file_content(home.path() / "o.csv"), "\xEF\xBB\xBF" + csv.out);  // stdout: no BOM
  const std::size_t asked = server.request_count();
  auto resumed = cli(
      {"batch", "--delay", "0", "--output", (home.path() / "o.csv").string(), "--resume"}, input);
  EXPECT_EQ(resumed.exit_code, 0) << resumed.err;
  EXPECT_EQ(server.request_count(), asked);
}

TEST_F(CliTest, UsageAndInputAndOutputErrorsExitTwo) {
  const std::vector<std::vector<std::string>> usage = {
      {},
      {"query"},
      {"query", "GB 1", "--format", "xml"},
      {"query", "GB 1", "--output", "x.csv"},
      {"download", "GB 1", "--delay", "5"},
      {"frobnicate"},
      {"batch", (home.path() / "missing.txt").string()},
  };
  for (const auto& args : usage) {
    auto run = cli(args);
    EXPECT_EQ(run.exit_code, 2) << (args.empty() ? "" : args[0]) << run.err;
    EXPECT_TRUE(server.requests().empty());
  }
  auto unwritable =
      cli({"batch", "--delay", "0", "--output", (home.path() / "no/such/folder.xlsx").string()},
          "GB 2760-2014\n");
  EXPECT_EQ(unwritable.exit_code, 2);
  EXPECT_NE(unwritable.err.find("目标文件夹不存在"), std::string::npos) << unwritable.err;
  EXPECT_EQ(cli({"--help"}).exit_code, 0);
  auto version = cli({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("stdlookup-cli ", 0), 0u);
}

TEST_F(CliTest, DownloadFindsTheFirstEntrysLink) {
  auto json = cli({"download", "GB 2760", "--format", "json"});
  EXPECT_EQ(json.exit_code, 0) << json.err;
  EXPECT_EQ(json.out, "{\n  \"found\": true,\n  \"detail_link\": \"" + server.url("/d/1.html") +
                          "\",\n  \"download_link\": \"http://files.example/gb2760.pdf\"\n}\n");
  auto text = cli({"download", "GB 2760"});
  EXPECT_EQ(text.out, "http://files.example/gb2760.pdf\n");
  auto none = cli({"download", "GB 0000", "--format", "json"});
  EXPECT_EQ(none.exit_code, 1);
  EXPECT_EQ(none.out,
            "{\n  \"found\": false,\n  \"detail_link\": \"\",\n  \"download_link\": \"\"\n}\n");
}

TEST_F(CliTest, InterruptStopsAfterTheCurrentLineAndKeepsTheRowsDone) {
  if (test::kWindows) GTEST_SKIP() << "no console here to deliver Ctrl-C to the program";
  const std::string path = (home.path() / "partial.json").string();
  std::string input;
  for (int i = 0; i < 20; ++i) input += "GB 2760-2014\n";
  auto run = test::run_process(
      {STDLOOKUP_CLI_PATH, "--query-host", "127.0.0.1:" + std::to_string(server.port()), "batch",
       "--delay", "100", "--output", path},
      input, [this](test::ProcessId pid) {
        while (server.request_count() < 2)
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        test::interrupt_process(pid);
      });
  EXPECT_EQ(run.exit_code, 130) << run.err;
  nlohmann::json rows = nlohmann::json::parse(file_content(path), nullptr, false);
  ASSERT_TRUE(rows.is_array());
  EXPECT_GE(rows.size(), 1u);  // the line the signal cut short may have none
  EXPECT_LT(rows.size(), 20u);
  // Every line done has its row; only a line whose request the signal cut short has none.
  EXPECT_LE(server.request_count() - rows.size(), 1u);
}

TEST_F(CliTest, InterruptEndsAHangingRequestOrThePauseAtOnce) {
  if (test::kWindows) GTEST_SKIP() << "no console here to deliver Ctrl-C to the program";
  test::CannedResponse silent;
  silent.never_answer = true;
  server.serve("/gbquery.htm?SID=GB%20SLOW&x=30&y=8", silent);
  const std::string path = (home.path() / "partial.json").string();
  std::chrono::steady_clock::time_point signalled;
  auto run = test::run_process(
      {STDLOOKUP_CLI_PATH, "--query-host", "127.0.0.1:" + std::to_string(server.port()), "batch",
       "--delay", "0", "--output", path},
      "GB 2760-2014\nGB SLOW\nGB 2760-2014\n", [&](test::ProcessId pid) {
        while (server.request_count() < 2)
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        signalled = std::chrono::steady_clock::now();
        test::interrupt_process(pid);  // once: no second signal is needed
      });
  EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
  EXPECT_EQ(run.exit_code, 130) << run.err;
  nlohmann::json rows = nlohmann::json::parse(file_content(path), nullptr, false);
  ASSERT_TRUE(rows.is_array());
  EXPECT_EQ(rows.size(), 1u);  // the line done; the cut one has no row
  EXPECT_EQ(server.request_count(), 2u);

  run = test::run_process(
      {STDLOOKUP_CLI_PATH, "--query-host", "127.0.0.1:" + std::to_string(server.port()), "batch",
       "--delay", "600000"},
      "GB 2760-2014\n", [&](test::ProcessId pid) {
        while (server.request_count() < 3)
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // paused
        signalled = std::chrono::steady_clock::now();
        test::interrupt_process(pid);
      });
  EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
  EXPECT_EQ(run.exit_code, 130) << run.err;
}

// An interrupted run leaves its rows; --resume goes on from there, asking for no line twice.
TEST_F(CliTest, AnInterruptedRunResumesWhereItStopped) {
  if (test::kWindows) GTEST_SKIP() << "no console here to deliver Ctrl-C to the program";
  const std::string path = (home.path() / "partial.xlsx").string();
  std::string input;
  std::vector<std::string> lines;
  for (int i = 1; i <= 12; ++i) lines.push_back("GB " + std::to_string(i) + "-2000");
  for (const std::string& line : lines) input += line + "\n";
  home.write("list.txt", input);
  const std::vector<std::string> args = {STDLOOKUP_CLI_PATH,
                                         "--query-host",
                                         "127.0.0.1:" + std::to_string(server.port()),
                                         "batch",
                                         (home.path() / "list.txt").string(),
                                         "--output",
                                         path};
  auto first = args;
  first.insert(first.end(), {"--delay", "1000"});
  auto run = test::run_process(first, "", [this](test::ProcessId pid) {
    while (server.request_count() < 4) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // in the pause after line 4
    test::interrupt_process(pid);
  });
  EXPECT_EQ(run.exit_code, 130) << run.err;
  EXPECT_NE(run.err.find("--resume"), std::string::npos) << run.err;
  auto again = args;
  again.insert(again.end(), {"--delay", "0", "--resume"});
  run = test::run_process(again);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::string> asked;
  for (const auto& request : server.requests()) asked.push_back(sid_of(request));
  EXPECT_EQ(asked, lines);
  const nlohmann::json book = test::read_workbook(path);
  ASSERT_EQ(book["max_row"], 13) << book.dump();
  EXPECT_EQ(book["cells"]["A13"]["value"], "GB 12-2000");

  // A file of another list is not taken for this one's.
  home.write("other.txt", "GB 9-2000\n");
  auto other = args;
  other[4] = (home.path() / "other.txt").string();
  other.push_back("--resume");
  run = test::run_process(other);
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("--resume: cannot go on"), std::string::npos) << run.err;
}

// --update through the command: results into the user's own workbook, the report against what
// it held, and --resume after a complete run asks for nothing.
TEST_F(CliTest, UpdateWritesIntoTheUsersWorkbookAndReportsWhatChanged) {
  const std::string own = (home.path() / "own.xlsx").string();
  std::filesystem::copy_file(STDLOOKUP_TEST_DATA_DIR "/user_openpyxl.xlsx", own);
  auto run = cli({"batch", own, "--update", "--delay", "0", "--format", "csv"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("added,GB 2760-2014"), std::string::npos) << run.out;
  test::CannedResponse abolished;
  abolished.body = replaced(test::canned_detail_page(), "现行", "作废");
  server.serve("/gbquery.htm?SID=GB%202760-2014&x=30&y=8", abolished);
  run = cli({"batch", own, "--update", "--delay", "0", "--label", "F"});
  EXPECT_EQ(run.exit_code, 3) << run.err;
  EXPECT_NE(run.out.find("新作废  第2行 张三"), std::string::npos) << run.out;
  // 标准名称 and 实施日期 are the list's own columns; 是否作废 and 查询日期 were added after them.
  const nlohmann::json cells = test::read_workbook_xml(own)["cells"];
  EXPECT_EQ(cells["H1"]["value"], "是否作废");
  EXPECT_EQ(cells["H2"]["value"], "作废");
  EXPECT_EQ(cells["I2"]["value"].get<std::string>().size(), 10u);  // YYYY-MM-DD
  EXPECT_EQ(cells["F2"]["value"], "张三");                         // the user's own column

  const std::size_t asked = server.request_count();
  run = cli({"batch", own, "--update", "--delay", "0", "--resume"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(server.request_count(), asked);
}

class CliSettingsTest : public CliTest {
 protected:
  void write_settings(const std::string& text) {
    std::filesystem::create_directories(home.path() / "config/stdlookup");
    home.write("config/stdlookup/stdlookup.conf", text);
  }
  test::ProcessResult bare_cli(std::vector<std::string> args) {  // no host options
    args.insert(args.begin(), STDLOOKUP_CLI_PATH);
    return test::run_process(args);
  }
  std::string fixture = "127.0.0.1:" + std::to_string(server.port());
  test::RefusingPort refusing;
  std::string closed = "127.0.0.1:" + std::to_string(refusing.port());
};

TEST_F(CliSettingsTest, FileThenEnvironmentThenOptionsChooseTheHost) {
  write_settings("# the fixture\nquery_host = " + fixture + "\n");
  struct Case {
    std::optional<std::string> environment;
    std::vector<std::string> options;
    int exit_code;  // 0: the fixture answered; 1: the closed port was asked
    std::string from;
  } cases[] = {
      {std::nullopt,
       {},
       0,
       (home.path() / "config" / "stdlookup" / "stdlookup.conf").string() + ":2"},
      {closed, {}, 1, "environment STDLOOKUP_QUERY_HOST"},
      {closed, {"--query-host", fixture}, 0, "option --query-host"},
  };
  for (const Case& c : cases) {
    test::ScopedEnv environment{"STDLOOKUP_QUERY_HOST", c.environment};
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"query", "GB 2760-2014", "--format", "json"});
    EXPECT_EQ(bare_cli(args).exit_code, c.exit_code) << c.from;
    args = c.options;
    args.insert(args.end(), {"config", "--format", "json"});
    auto config = nlohmann::json::parse(bare_cli(args).out);
    EXPECT_EQ(config["query_host"]["from"], c.from);
    EXPECT_EQ(config["download_host"]["from"], "built-in");
  }
}

TEST_F(CliSettingsTest, NothingAnsweringAtTheBuiltInHostNamesTheSettingsFile) {
  use_settings(built_in_settings());
  const std::string file = (home.path() / "config" / "stdlookup" / "stdlookup.conf").string();
  EXPECT_THAT(cli::failure_message("GB 1", FailureReason::timed_out, 0),
              ::testing::EndsWith(", built in; set query_host in " + file + ")"));
}

TEST_F(CliSettingsTest, TheProxyOfTheSettingsCarriesTheRequests) {
  // The proxy gets the absolute URL of a host that only it can reach.
  test::CannedResponse page;
  page.body = test::canned_detail_page();
  server.serve("http://standards.invalid/gbquery.htm", page);
  server.serve("http://standards.invalid:80/gbquery.htm", page);  // WinINet under Wine
  write_settings("query_host = standards.invalid\nproxy = " + fixture + "\n");
  auto run = bare_cli({"query", "GB 2760-2014", "--format", "json"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("\"status\": \"现行\""), std::string::npos) << run.out;
  ASSERT_EQ(server.request_count(), 1u);
  EXPECT_THAT(
      server.requests()[0].target,
      ::testing::AnyOf("http://standards.invalid/gbquery.htm?SID=GB%202760-2014&x=30&y=8",
                       "http://standards.invalid:80/gbquery.htm?SID=GB%202760-2014&x=30&y=8"));

  // The option sends it direct again (to a closed port here).
  auto direct = bare_cli({"--proxy", "", "--query-host", closed, "query", "X"});
  EXPECT_EQ(direct.exit_code, 1);
  EXPECT_THAT(direct.err,
              ::testing::EndsWith(": connection refused (query host " + closed + ")\n"));
  EXPECT_EQ(server.request_count(), 1u);
}

TEST_F(CliSettingsTest, MalformedSettingsExitTwoNamingWhere) {
  const std::string file = (home.path() / "config" / "stdlookup" / "stdlookup.conf").string();
  struct Case {
    std::string settings;
    std::optional<std::string> proxy_variable;
    std::vector<std::string> options;
    std::string message;
  } cases[] = {
      {"query_host = " + fixture + "\nport = 80\n",
       std::nullopt,
       {},
       file + ":2: unknown key \"port\""},
      {"proxy = " + fixture + ":8080\n", std::nullopt, {}, file + ":1: proxy \""},
      {"", "p", {}, "environment variable STDLOOKUP_PROXY: proxy \"p\" is not HOST:PORT"},
      {"", std::nullopt, {"--query-host", "a/b"}, "--query-host: query_host \"a/b\" is not"},
  };
  for (const Case& c : cases) {
    write_settings(c.settings);
    test::ScopedEnv proxy{"STDLOOKUP_PROXY", c.proxy_variable};
    for (const char* command : {"query", "config"}) {
      std::vector<std::string> args = c.options;
      args.insert(args.end(), {command, "GB 2760-2014"});
      if (std::string(command) == "config") args.pop_back();
      auto run = bare_cli(args);
      EXPECT_EQ(run.exit_code, 2) << c.message;
      EXPECT_EQ(run.err.rfind("stdlookup-cli: " + c.message, 0), 0u) << run.err;
      EXPECT_EQ(run.out, "");
    }
  }
  EXPECT_EQ(server.request_count(), 0u);
}

TEST_F(CliTest, BatchInputWithBomInGbkAndNotAFile) {
  struct Case {
    std::string input;
    const char* sid;     // as the first request carried it
    const char* notice;  // on stderr
  } cases[] = {
      {"\xEF\xBB\xBFGB 2760-2014\n", "SID=GB%202760-2014&", ""},
      {g("国标 2760\r\n"), "SID=\xB9\xFA\xB1\xEA%202760&",
       "standard input is not UTF-8: read as GBK\n"},
      {"国标 2760\n", "SID=\xB9\xFA\xB1\xEA%202760&", ""},
  };
  for (const Case& c : cases) {
    std::size_t before = server.request_count();
    auto run = cli({"batch", "--delay", "0", "--format", "csv"}, c.input);
    EXPECT_EQ(run.exit_code, 0) << c.sid;
    EXPECT_EQ(run.err, c.notice[0] ? std::string("stdlookup-cli: ") + c.notice : "");
    ASSERT_EQ(server.request_count(), before + 1) << c.sid;
    EXPECT_NE(server.requests().back().target.find(c.sid), std::string::npos)
        << server.requests().back().target;
  }
  auto folder = cli({"batch", home.str()});
  EXPECT_EQ(folder.exit_code, 2);
  EXPECT_NE(folder.err.find("is a folder"), std::string::npos) << folder.err;
}

TEST_F(CliTest, ServerTextCannotDriveTheTerminalOrTheSpreadsheet) {
  // Text: control characters escaped; CSV: a formula stays text; JSON: escaped by JSON itself.
  auto text = cli({"query", "GB EVIL"});
  EXPECT_NE(text.out.find("标准编号  =HYPERLINK(1)\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("中文名称  \\x1B]0;x\\x07\\x08\\x7F 食品添加剂"), std::string::npos)
      << text.out;
  auto table = cli({"batch", "--delay", "0"}, "GB EVIL\n");
  EXPECT_NE(table.out.find("=HYPERLINK(1)  \\x1B]0;x"), std::string::npos) << table.out;
  auto csv = cli({"batch", "--delay", "0", "--format", "csv"}, "GB EVIL\n");
  EXPECT_NE(csv.out.find("\r\n'=HYPERLINK(1),\x1b]0;x"), std::string::npos) << csv.out;
  auto json = cli({"query", "GB EVIL", "--format", "json"});
  EXPECT_NE(json.out.find("\"number\": \"=HYPERLINK(1)\""), std::string::npos) << json.out;
}

TEST_F(CliTest, HelpVersionDelayAndDownloadFaults) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    const char* out;  // a part of stdout
    const char* err;  // a part of stderr
  } cases[] = {
      {{"batch", "--help"}, 0, "--delay MS", ""},
      {{"batch", "--help"}, 0, "--output", ""},
      {{"help", "batch"}, 0, "Usage: stdlookup-cli batch", ""},
      {{"help"}, 0, "Usage: stdlookup-cli [OPTIONS] SUBCOMMAND", ""},
      {{"-V"}, 0, "stdlookup-cli ", ""},
      {{"batch", "--delay", "-5"}, 2, "", "--delay: must be ≥ 0"},
      {{"--delay", "0", "--format", "csv", "batch"}, 0, "是否作废\r\nGB 2760-2014,", ""},
      {{"download", "GB 404"}, 1, "", "could not be fetched"},
  };
  for (const Case& c : cases) {
    auto run = cli(c.args, "GB 2760-2014\n");
    EXPECT_EQ(run.exit_code, c.exit_code) << c.args[0] << c.args.back() << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << c.args.back() << run.out;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args.back() << run.err;
  }
  EXPECT_EQ(cli({"download", "GB 404"}).out, "");  // not an empty line
}

TEST_F(CliTest, OutputTargetIsCheckedBeforeTheFirstLookup) {
  std::filesystem::create_directories(home.path() / "folder.csv");
  home.write("list.txt", "GB 2760-2014\n");
  const struct {
    std::filesystem::path target;
    const char* reason;
  } cases[] = {
      {home.path() / "no/such/rows.csv", "目标文件夹不存在"},
      {home.path() / "list.txt/rows.csv", "目标文件夹不存在"},  // the "folder" is a file
      {home.path() / "folder.csv", "目标是一个文件夹"},
      {home.path() / "rows.txt", "unknown extension"},
  };
  for (const auto& c : cases) {
    auto run = cli({"batch", "--delay", "0", "--output", c.target.string()}, "GB 2760-2014\n");
    EXPECT_EQ(run.exit_code, 2) << c.target;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(server.request_count(), 0u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.path()), {}), 2);
}

TEST_F(CliTest, OutputDashIsStdoutAndAFailedWriteKeepsTheRows) {
  auto dash = cli({"batch", "--delay", "0", "--output", "-", "--format", "csv"}, "GB 2760-2014\n");
  EXPECT_EQ(dash.exit_code, 0) << dash.err;
  EXPECT_NE(dash.out.find("\r\nGB 2760-2014,"), std::string::npos) << dash.out;
  EXPECT_FALSE(std::filesystem::exists("-"));

  // A file-size limit of a block or two: the write fails as an ordinary error.
  if (test::kWindows) GTEST_SKIP() << "no ulimit on Windows";
  std::string input;
  for (int i = 0; i < 10; ++i) input += "GB 2760-2014\n";
  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  for (const char* name : {"rows.json", "rows.xlsx"}) {
    auto run = test::run_process(
        {"/bin/sh", "-c", "ulimit -f 1 && exec \"$@\"", "sh", STDLOOKUP_CLI_PATH, "--query-host",
         host, "batch", "--delay", "0", "--output", (home.path() / name).string()},
        input);
    EXPECT_EQ(run.exit_code, 2) << name << run.err;
    EXPECT_NE(run.err.find("文件超过了允许的大小"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("; the rows went to stdout"), std::string::npos) << run.err;
    int rows = 0;
    for (std::size_t at = 0; (at = run.out.find("\nGB 2760-2014  ", at)) != std::string::npos; ++at)
      ++rows;
    EXPECT_EQ(rows, 10) << run.out;  // the text table, as without --output
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.path()), {}), 0);
}

TEST_F(CliTest, CsvAndJsonRowsReachStdoutAsEachLineCompletes) {
  std::string input;
  for (int i = 0; i < 20; ++i) input += "GB 2760-2014\n";
  for (const char* format : {"csv", "json"}) {
    const std::size_t before = server.request_count();
    auto run = test::run_process(
        {STDLOOKUP_CLI_PATH, "--query-host", "127.0.0.1:" + std::to_string(server.port()), "batch",
         "--delay", "200", "--format", format},
        input, [&](test::ProcessId pid) {
          while (server.request_count() < before + 3)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
          test::kill_process(pid);  // no chance to print anything more
        });
    int rows = 0;
    for (std::size_t at = 0; (at = run.out.find("GB 2760-2014", at)) != std::string::npos; ++at)
      ++rows;
    EXPECT_GE(rows, 2) << format << run.out;  // the two lines done before the third request
  }
}

}  // namespace
}  // namespace stdlookup

// ---- keeping a list current

namespace stdlookup {
namespace {

std::vector<std::string> queried(const test::FixtureServer& server) {
  std::vector<std::string> sids;
  for (const auto& request : server.requests()) {
    std::string sid = request.target.substr(request.target.find("SID=") + 4);
    sids.push_back(sid.substr(0, sid.find("&x=30")));
  }
  return sids;
}

TEST_F(CliTest, WorkbooksAndCsvListsAreInput) {
  // Our own export, read back as the next run's list.
  const std::string exported = (home.path() / "exported.xlsx").string();
  ASSERT_EQ(cli({"batch", "--delay", "0", "--output", exported}, "GB 2760-2014\nGB 2760-2011\n")
                .exit_code,
            0);
  // A workbook of the user's own, made once by openpyxl: shared strings, a number, gaps
  // (s.append(['产品', '标准号']); s.append(['糖', 'GB 2760-2014']); s.append(['盐', None]);
  // s.append(['醋', 2760])). Copied to a native path: under Wine the data folder's path starts
  // with "/", which a Windows program takes for an option.
  const std::string own = (home.path() / "own.xlsx").string();
  std::filesystem::copy_file(STDLOOKUP_TEST_DATA_DIR "/products_openpyxl.xlsx", own);
  home.write("list.csv", "\xEF\xBB\xBFname,number\r\nx,\"GB 2760-2011\"\r\n");
  home.write("cut.xlsx", std::string("PK\x03\x04", 4) + "cut");
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::vector<std::string> sids;
  } cases[] = {
      {{exported}, 0, {"GB%202760-2014", "GB%202760-2011"}},
      {{own}, 0, {"GB%202760-2014", "2760"}},  // the column headed 标准号; a number as text
      {{own, "--column", "a"}, 0, {g("糖"), g("盐"), g("醋")}},
      {{(home.path() / "list.csv").string(), "--column", "number"}, 0, {"GB%202760-2011"}},
      {{(home.path() / "cut.xlsx").string()}, 2, {}},
      {{own, "--column", "型号"}, 2, {}},
  };
  for (const Case& c : cases) {
    const std::size_t before = server.request_count();
    std::vector<std::string> args = {"batch", "--delay", "0", "--format", "csv"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto run = cli(args);
    EXPECT_EQ(run.exit_code, c.exit_code) << c.args[0] << run.err;
    std::vector<std::string> sids = queried(server);
    sids.erase(sids.begin(), sids.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(sids, c.sids) << c.args[0];
    if (c.exit_code == 2) {
      EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;
    }
  }
}

TEST_F(CliTest, CompareReportsWhatChangedAndExitsThreeWhenAStandardWasAbolished) {
  home.write("last.json", R"([
    {"number": "GB 2760-2011", "chinese_name": "食品安全国家标准 食品添加剂使用标准",
     "implementation_date": "2015-05-24", "status": "现行"},
    {"number": "GB 2760-2014", "chinese_name": "x", "implementation_date": "x", "status": "作废"},
    {"number": "GB FAIL", "chinese_name": "", "implementation_date": "", "status": "现行"},
    {"number": "GB 1-2000", "chinese_name": "", "implementation_date": "", "status": "现行"}])");
  const std::string last = (home.path() / "last.json").string();
  auto run = cli({"batch", "--delay", "0", "--compare", last, "--format", "json"},
                 "GB 2760-2011\nGB 2760-2014\nGB FAIL\nGB 9999\n");
  EXPECT_EQ(run.exit_code, 3) << run.err;
  nlohmann::json report = nlohmann::json::parse(run.out, nullptr, false);
  ASSERT_TRUE(report.is_object()) << run.out;
  const auto numbers = [&](const char* kind, const char* side) {
    std::vector<std::string> out;
    for (const auto& change : report[kind]) out.push_back(change[side]["number"]);
    return out;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(numbers("newly_abolished", "now"), V{"GB 2760-2011"});
  EXPECT_EQ(numbers("newly_current", "now"), V{"GB 2760-2014"});
  EXPECT_EQ(numbers("newly_failed", "before"), V{"GB FAIL"});
  EXPECT_EQ(report["added"].size(), 1u);  // GB 9999: not found, but new to the list
  EXPECT_EQ(numbers("gone", "before"), V{"GB 1-2000"});
  EXPECT_EQ(report["unchanged"], 0);

  // The same list against itself: nothing to report, exit as usual.
  const std::string now = (home.path() / "now.xlsx").string();
  ASSERT_EQ(cli({"batch", "--delay", "0", "--output", now}, "GB 2760-2014\n").exit_code, 0);
  run = cli({"batch", "--delay", "0", "--compare", now}, "GB 2760-2014\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("未变"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("GB 2760-2014"), std::string::npos) << run.out;  // no rows, a report
  // No earlier export yet: the first run, its lines new.
  EXPECT_EQ(cli({"batch", "--compare", (home.path() / "none.json").string()}, "GB 1\n").exit_code,
            0);
}

// Two months of a small list, line by line: what each line's pair of answers is reported as,
// with its row and --label cell. The same list with no earlier export yet: every line is new.
TEST_F(CliTest, TheReportGoesLineByLineWithEachLinesRow) {
  const nlohmann::json page = nlohmann::json::parse(
      cli({"batch", "--delay", "0", "--format", "json"}, "GB 2760-2014\n").out)[0];
  struct Case {
    std::string line;
    std::string before;  // last month's status; "" for a line not in last month's export
    std::string kind;    // what this month's answer makes of it
  } cases[] = {
      {"GB 2760-2011", "现行", "newly_abolished"},
      {"GB 2760-2011", "", "added_abolished"},
      {"GB 2760-2014", "现行", "unchanged"},
      {"GB 2760-2014", "作废", "newly_current"},
      {"gb2760-2014", "抱歉，没找到", "details_changed"},
      {"GB 2760-2014", "", "added"},  // listed four times, last month three
      {"GB 9999", "抱歉，没找到", "unchanged"},
      {"GB 9999", "现行", "details_changed"},
      {"GB FAIL", "现行", "newly_failed"},
      {"GB FAIL", "查询失败", "unchanged"},
  };
  // Last month as our export, and as the user's own list that --update wrote into: a title row,
  // the numbers in column C, the results under their headers in another order.
  std::string list = "产品,标准号\r\n", last = "标准号,标准中文名,实施日期,是否作废\r\n",
              own = "月度清单\r\n产品,备注,标准号,状态,标准名称,实施日期\r\n";
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    list += "p" + std::to_string(i) + "," + cases[i].line + "\r\n";
    const bool found = cases[i].before == "现行" || cases[i].before == "作废";
    const std::string name = found ? page["chinese_name"].get<std::string>() : "";
    const std::string date = found ? page["implementation_date"].get<std::string>() : "";
    if (cases[i].before.empty()) continue;
    last += cases[i].line + "," + name + "," + date + "," + cases[i].before + "\r\n";
    own += "p,," + cases[i].line + "," + cases[i].before + "," + name + "," + date + "\r\n";
  }
  last += "GB 1-2000,,,现行\r\n";  // gone from the list
  own += "p,,GB 1-2000,现行,,\r\n";
  home.write("list.csv", list);
  home.write("last.csv", last);
  home.write("own.csv", own);
  for (const std::string earlier_name : {"last.csv", "own.csv", "none.csv"}) {
    const bool first_run = earlier_name == "none.csv";
    SCOPED_TRACE(earlier_name);
    const std::string earlier = (home.path() / earlier_name).string();
    const std::string out = (home.path() / "now.xlsx").string();
    std::filesystem::remove(out);
    auto run = cli({"batch", (home.path() / "list.csv").string(), "--normalize", "--delay", "0",
                    "--label", "产品", "--compare", earlier, "--output", out, "--format", "json"});
    EXPECT_EQ(run.exit_code, 3) << run.err;
    EXPECT_EQ(run.err.find("first run") != std::string::npos, first_run) << run.err;
    EXPECT_TRUE(std::filesystem::exists(out));
    const nlohmann::json report = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_TRUE(report.is_object()) << run.out;
    int unchanged = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      std::string kind = cases[i].kind;
      if (first_run) kind = cases[i].line == "GB 2760-2011" ? "added_abolished" : "added";
      if (kind == "unchanged") {
        ++unchanged;
        continue;
      }
      const nlohmann::json where = {{"label", "p" + std::to_string(i)}, {"row", i + 2}};
      EXPECT_THAT(report[kind], testing::Contains(testing::Truly([&](const nlohmann::json& c) {
                    return c["row"] == where["row"] && c["label"] == where["label"];
                  })))
          << kind << " " << where;
    }
    EXPECT_EQ(report["unchanged"], unchanged);
    EXPECT_EQ(report["gone"].size(), first_run ? 0u : 1u);
  }
}

TEST_F(CliTest, RetriesHonourRetryAfterAndGiveUpAfterN) {
  std::atomic<int> busy_requests{0};
  server.serve("/gbquery.htm?SID=GB%20BUSY&x=30&y=8", [&](const test::RecordedRequest&) {
    test::CannedResponse response;
    if (busy_requests++ == 0) {
      response.status = 503;
      response.headers = {{"Retry-After", "1"}};
    } else {
      response.body = test::canned_detail_page();
    }
    return response;
  });
  const auto started = std::chrono::steady_clock::now();
  auto run =
      cli({"batch", "--delay", "0", "--retries", "2", "--format", "json"}, "GB BUSY\nGB FAIL\n");
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));  // 1 s, 1 s
  EXPECT_EQ(run.exit_code, 1) << run.err;
  nlohmann::json rows = nlohmann::json::parse(run.out, nullptr, false);
  ASSERT_EQ(rows.size(), 2u) << run.out;
  EXPECT_EQ(rows[0]["status"], "现行");
  EXPECT_EQ(rows[0]["tries"], 2);
  EXPECT_EQ(rows[1]["status"], "查询失败");
  EXPECT_EQ(rows[1]["tries"], 3);  // given up after 2 retries
  // An apology is an answer: never retried. Without --retries, rows have no tries.
  const std::size_t before = server.request_count();
  run = cli({"batch", "--delay", "0", "--format", "json"}, "GB 9999\n");
  EXPECT_EQ(server.request_count() - before, 1u);
  EXPECT_EQ(run.out.find("tries"), std::string::npos);
}

TEST_F(CliTest, NormalizeQueriesTheCleanNumberAndKeepsTheLine) {
  auto run = cli({"batch", "--delay", "0", "--normalize", "--format", "json"},
                 "gb2760—2014\nＧＢ　２７６０－２０１１\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  nlohmann::json rows = nlohmann::json::parse(run.out, nullptr, false);
  ASSERT_EQ(rows.size(), 2u) << run.out;
  EXPECT_EQ(rows[0]["line"], "gb2760—2014");
  EXPECT_EQ(rows[0]["query"], "GB 2760-2014");
  EXPECT_EQ(rows[0]["status"], "现行");
  EXPECT_EQ(rows[1]["query"], "GB 2760-2011");
  EXPECT_EQ(rows[1]["status"], "作废");
}

}  // namespace
}  // namespace stdlookup
