// The command line speaks the user's language on stderr and in its help, and its data does not
// change with it: run as a program under a Chinese and the C locale.
#include <gtest/gtest.h>

#include <optional>

#include "support/canned_pages.h"
#include "support/fixture_server.h"
#include "support/scoped_env.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace stdlookup {
namespace {

struct Language {
  const char* lang;
  const char* usage;  // how the help of batch begins its usage line
};

TEST(CliLanguage, HelpFollowsTheLanguageAndDataDoesNot) {
  test::FixtureServer server;
  test::CannedResponse page;
  page.body = test::canned_detail_page();
  server.serve("/gbquery.htm", page);
  test::TempDir home;
  test::ScopedEnv xdg_config{"XDG_CONFIG_HOME", home.str()};
  test::ScopedEnv appdata{"APPDATA", home.str()};
  // Only LANG names the language (the same variable on Windows, where it wins over the UI's).
  test::ScopedEnv no_language{"LANGUAGE", std::nullopt};
  test::ScopedEnv no_all{"LC_ALL", std::nullopt};
  test::ScopedEnv no_messages{"LC_MESSAGES", std::nullopt};
  const std::string host = "127.0.0.1:" + std::to_string(server.port());

  std::optional<std::string> csv_before;
  for (const Language& language : {Language{"zh_CN.UTF-8", "用法: stdlookup-cli batch [选项]"},
                                   Language{"C", "Usage: stdlookup-cli batch [OPTIONS]"}}) {
    SCOPED_TRACE(language.lang);
    test::ScopedEnv lang{"LANG", language.lang};
    const auto help = test::run_process({STDLOOKUP_CLI_PATH, "help", "batch"});
    EXPECT_EQ(help.exit_code, 0) << help.err;
    EXPECT_NE(help.out.find(language.usage), std::string::npos)
        << help.out << "(is the locale " << language.lang << " installed?)";

    const auto csv = test::run_process(
        {STDLOOKUP_CLI_PATH, "--query-host", host, "query", "GB 2760-2014", "--format=csv"});
    EXPECT_EQ(csv.exit_code, 0) << csv.err;
    EXPECT_EQ(csv.out.substr(0, csv.out.find('\n')),
              "标准编号,中文名称,标准状态,实施日期,发布部门\r");
    if (csv_before) {
      EXPECT_EQ(csv.out, *csv_before);
    }
    csv_before = csv.out;
  }
}

}  // namespace
}  // namespace stdlookup
