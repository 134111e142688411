// Help and messages follow the language; the data on stdout does not.
#include <gtest/gtest.h>

#include "support/canned_pages.h"
#include "support/fixture_server.h"
#include "support/scoped_env.h"
#include "support/subprocess.h"

namespace stdlookup {
namespace {

TEST(CliLanguage, HelpFollowsTheLanguageAndDataDoesNot) {
  test::FixtureServer server;
  test::CannedResponse page;
  page.body = test::canned_detail_page();
  server.serve("/gbquery.htm", page);
  // LANG alone names the language, on Windows too.
  test::ScopedEnv no_language{"LANGUAGE", std::nullopt}, no_all{"LC_ALL", std::nullopt},
      no_messages{"LC_MESSAGES", std::nullopt};
  std::string csv_in_c;
  for (const auto& [lang, usage] : {std::pair{"C", "Usage: stdlookup-cli batch [OPTIONS]"},
                                    std::pair{"zh_CN.UTF-8", "用法: stdlookup-cli batch [选项]"}}) {
    test::ScopedEnv language{"LANG", lang};
    const auto help = test::run_process({STDLOOKUP_CLI_PATH, "help", "batch"});
    EXPECT_NE(help.out.find(usage), std::string::npos) << lang << " (installed?):\n" << help.out;
    const auto csv = test::run_process({STDLOOKUP_CLI_PATH, "--query-host",
                                        "127.0.0.1:" + std::to_string(server.port()), "--proxy", "",
                                        "query", "GB 2760-2014", "--format=csv"});
    EXPECT_EQ(csv.out.rfind("标准编号,中文名称,标准状态,实施日期,发布部门\r\n", 0), 0u) << csv.err;
    if (csv_in_c.empty()) csv_in_c = csv.out;
    EXPECT_EQ(csv.out, csv_in_c) << lang;
  }
}

}  // namespace
}  // namespace stdlookup
