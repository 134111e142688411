#include "runtime/settings.h"

#include <gtest/gtest.h>

#include "support/platform.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace stdlookup {
namespace {

TEST(SettingsTest, FileLinesAndTheirProblems) {
  struct Case {
    const char* text;
    const char* problem;  // "" for none
    const char* query_host;
    const char* proxy;
  } cases[] = {
      {"", "", STDLOOKUP_QUERY_HOST, ""},
      {"\xEF\xBB\xBF# hosts\r\n\r\n; moved\r\n  query_host =  q.example:8080 \r\nproxy=p:3128", "",
       "q.example:8080", "p:3128"},
      {"query_host = q.example\nproxy =\n", "", "q.example", ""},
      {"query_host = q.example\nqueryhost = x\n", "f.conf:2: unknown key \"queryhost\"",
       "q.example", ""},
      {"[stdlookup]\n", "f.conf:1: expected \"key = value\", found \"[stdlookup]\"",
       STDLOOKUP_QUERY_HOST, ""},
      {"\n\nquery_host = a/b", "f.conf:3: query_host \"a/b\" is not HOST or HOST:PORT",
       STDLOOKUP_QUERY_HOST, ""},
      {"query_host =", "f.conf:1: query_host \"\" is not", STDLOOKUP_QUERY_HOST, ""},
      {"query_host = h:0", "f.conf:1: query_host \"h:0\"", STDLOOKUP_QUERY_HOST, ""},
      {"query_host = h:65536", "f.conf:1: query_host \"h:65536\"", STDLOOKUP_QUERY_HOST, ""},
      {"query_host = user@h", "f.conf:1: query_host \"user@h\"", STDLOOKUP_QUERY_HOST, ""},
      {"proxy = p", "f.conf:1: proxy \"p\" is not HOST:PORT", STDLOOKUP_QUERY_HOST, ""},
      {"proxy = p:1\nproxy = p:2", "f.conf:2: proxy is set twice (first on line 1)",
       STDLOOKUP_QUERY_HOST, "p:1"},
  };
  for (const Case& c : cases) {
    Settings settings = built_in_settings();
    std::string problem = apply_settings_text(settings, c.text, "f.conf");
    if (*c.problem == '\0') {
      EXPECT_EQ(problem, "") << c.text;
    } else {
      EXPECT_EQ(problem.rfind(c.problem, 0), 0u) << c.text << " gave " << problem;
    }
    EXPECT_EQ(settings.query_host.value, c.query_host) << c.text;
    EXPECT_EQ(settings.proxy.value, c.proxy) << c.text;
  }
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void write_settings(const std::string& text) {
    std::filesystem::create_directories(config.path() / "stdlookup");
    config.write("stdlookup/stdlookup.conf", text);
  }

  test::TempDir config;
  test::ScopedEnv xdg{"XDG_CONFIG_HOME", config.str()};
  test::ScopedEnv appdata{"APPDATA", config.str()};  // where Windows keeps it
  test::ScopedEnv query{"STDLOOKUP_QUERY_HOST", std::nullopt};
  test::ScopedEnv download{"STDLOOKUP_DOWNLOAD_HOST", std::nullopt};
  test::ScopedEnv proxy{"STDLOOKUP_PROXY", std::nullopt};
};

TEST_F(SettingsFileTest, EachSourceOverridesTheOneBefore) {
  const std::string file = (config.path() / "stdlookup" / "stdlookup.conf").string();
  EXPECT_EQ(settings_file_path(), file);
  LoadedSettings missing = load_settings();  // no file yet: the built-in values
  EXPECT_EQ(missing.problem, "");
  EXPECT_EQ(missing.settings.query_host.value, STDLOOKUP_QUERY_HOST);
  EXPECT_EQ(describe_origin(missing.settings.query_host), "built-in");

  write_settings("query_host = file.example\ndownload_host = file.example:81\nproxy = fp:1\n");
  test::ScopedEnv env_download{"STDLOOKUP_DOWNLOAD_HOST", "env.example:82"};
  test::ScopedEnv env_proxy{"STDLOOKUP_PROXY", ""};  // set but empty: direct
  LoadedSettings loaded = load_settings();
  ASSERT_EQ(loaded.problem, "");
  EXPECT_EQ(set_setting(loaded.settings, "proxy", "cp:3", SettingOrigin::command_line, "--proxy"),
            "");

  struct Expected {
    const Setting& setting;
    const char* value;
    std::string origin;
  } expected[] = {
      {loaded.settings.query_host, "file.example", file + ":1"},
      {loaded.settings.download_host, "env.example:82", "environment STDLOOKUP_DOWNLOAD_HOST"},
      {loaded.settings.proxy, "cp:3", "option --proxy"},
  };
  for (const Expected& e : expected) {
    EXPECT_EQ(e.setting.value, e.value);
    EXPECT_EQ(describe_origin(e.setting), e.origin);
  }
  // The Windows C runtime cannot hold a variable set but empty: setting one removes it.
  if (test::kWindows) return;
  test::ScopedEnv cleared{"STDLOOKUP_PROXY", ""};
  EXPECT_EQ(load_settings().settings.proxy.value, "");
}

TEST_F(SettingsFileTest, ProblemsNameTheirSource) {
  const std::string file = (config.path() / "stdlookup" / "stdlookup.conf").string();
  write_settings("query_host = ok.example\nport = 8080\n");
  EXPECT_EQ(load_settings().problem,
            file + ":2: unknown key \"port\"; the keys are query_host, download_host and proxy");

  write_settings("query_host = ok.example\n");
  test::ScopedEnv bad{"STDLOOKUP_PROXY", "no port"};
  EXPECT_EQ(load_settings().problem,
            "environment variable STDLOOKUP_PROXY: proxy \"no port\" is not HOST:PORT (or empty "
            "for a direct connection)");

  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  EXPECT_EQ(load_settings().problem, file + ": cannot read: not a regular file");
}

TEST(SettingsPathTest, RelativeConfigHomeIsIgnored) {
  if (test::kWindows) GTEST_SKIP() << "the settings folder there is %APPDATA%";
  test::ScopedEnv xdg{"XDG_CONFIG_HOME", "relative/dir"};
  test::ScopedEnv home{"HOME", "/home/someone"};
  EXPECT_EQ(settings_file_path(), "/home/someone/.config/stdlookup/stdlookup.conf");
}

}  // namespace
}  // namespace stdlookup
