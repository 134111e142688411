// Careless and hostile uses of the paths that write into the user's files, through the command:
// each handled, or refused before the first lookup with the list intact.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include "support/canned_pages.h"
#include "support/fixture_server.h"
#include "support/gbk_literals.h"
#include "support/scoped_env.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace stdlookup {
namespace {

namespace fs = std::filesystem;
using P = const fs::path&;
using Step = std::function<bool(P dir)>;  // false: not on this platform

const std::string A = "GB 2760-2014", B = "GB 1-2000", C = "GB 2-2000";

std::string csv_list(const std::vector<std::string>& numbers) {  // last looked up last month
  std::string text = "标准号,是否作废,查询日期\n";
  for (const std::string& number : numbers) text += number + ",现行,2026-11-01\n";
  return text;
}

std::string content(P path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Case {
  const char* what;
  std::vector<std::pair<std::string, std::string>> files;
  std::string earlier, went;  // a run before, "answered", "down" (all failed) or "killed"
  Step prepare;               // then
  std::string args;  // the run checked, split at spaces ("@NAME" is NAME's path): its exit code,
  int exit;          // what it asked, said on stderr, and a file it must leave as it found it
  std::vector<std::string> asked;
  std::string said, intact;
  Step while_running = {}, also = {};  // after its first request; further checks, tidying up
};

TEST(ListSafety, CarelessAndHostileUsesKeepTheList) {
  std::atomic<bool> down{false};
  test::FixtureServer server;
  server.serve("/gbquery.htm", [&](const test::RecordedRequest& request) {
    test::CannedResponse response;
    response.status = down ? 500 : 200;
    const bool known = request.target.find("GB%202760-2014") != std::string::npos;
    response.body = known ? test::canned_detail_page() : test::g("<p>抱歉，没有找到该标准</p>");
    return response;
  });
  const test::TempDir home;
  const test::ScopedEnv xdg{"XDG_DATA_HOME", home.str()}, config{"XDG_CONFIG_HOME", home.str()},
      appdata{"APPDATA", home.str()}, no_proxy{"STDLOOKUP_PROXY", std::nullopt};
  const std::string lines = A + "\n" + B + "\n" + C + "\n", held = "a,b,c,d\n" + A + ",名,,现行\n";
  const auto write = [](const char* name, std::string text) -> Step {
    return [=](P dir) { return !!(std::ofstream(dir / name) << text); };
  };
  // clang-format off
  const std::vector<Case> cases = {
    {"killed update, resumed", {{"list.csv", csv_list({A, B, C})}}, "batch @list.csv --update", "killed", {}, "batch @list.csv --update --resume", 0, {A, B, C}, "0 of 3", ""},
    {"update without answers, resumed", {{"list.csv", csv_list({A, B, C})}}, "batch @list.csv --update", "down", {}, "batch @list.csv --update --resume", 0, {A, B, C}, "", ""},
    {"resumed into another list's copy", {{"list.csv", csv_list({A, B})}, {"other.csv", csv_list({C})}}, "batch @list.csv --update @out.csv", "answered", {}, "batch @other.csv --update @out.csv --resume", 2, {}, "is not a copy", "out.csv"},
    {"resumed into a copy, line added", {{"list.csv", csv_list({A, B})}}, "batch @list.csv --update @out.csv", "answered", write("list.csv", csv_list({A, C, B})), "batch @list.csv --update @out.csv --resume", 0, {C}, "2 of 3", ""},
    {"--output's last row torn", {{"list.txt", lines}, {"out.csv", held + B + ",食品"}}, "", "", {}, "batch @list.txt --output @out.csv --resume", 0, {B, C}, "", ""},
    {"--output's row short of fields", {{"list.txt", lines}, {"out.csv", held + B + ",名\n" + C + ",,,抱歉，没找到\n"}}, "", "", {}, "batch @list.txt --output @out.csv --resume", 0, {B}, "", ""},
    {"--output's JSON cut short", {{"list.txt", lines}, {"out.json", "[{\"number\":\"" + A + "\",\"status\":\"现行\"},{\"number\":\"" + B}}, "", "", {}, "batch @list.txt --output @out.json --resume", 0, {B, C}, "", ""},
    {"linked list", {{"real.csv", csv_list({A})}}, "", "", [](P d) { std::error_code e; fs::create_symlink("real.csv", d / "list.csv", e); return !e; }, "batch @list.csv --update", 0, {A}, "", "", {}, [](P d) { return fs::is_symlink(d / "list.csv") && content(d / "real.csv").find("2026-11") == std::string::npos; }},
    {"read-only list", {{"list.csv", csv_list({A})}}, "", "", [](P d) { fs::permissions(d / "list.csv", fs::perms::owner_read); return true; }, "batch @list.csv --update", 2, {}, "只读", "list.csv", {}, [](P d) { fs::permissions(d / "list.csv", fs::perms::owner_write, fs::perm_options::add); return true; }},
    {"hard-linked list", {{"list.csv", csv_list({A})}}, "", "", [](P d) { std::error_code e; fs::create_hard_link(d / "list.csv", d / "twin.csv", e); return !e; }, "batch @list.csv --update", 2, {}, "硬链接", "list.csv"},
    {"list open in Excel", {{"list.csv", csv_list({A})}, {"~$list.csv", ""}}, "", "", {}, "batch @list.csv --update", 2, {}, "Excel", "list.csv"},
    {"list opened during the run", {{"list.csv", csv_list({A, B, C})}}, "", "", {}, "batch @list.csv --update", 2, {A, B, C}, "LibreOffice", "list.csv", write(".~lock.list.csv#", "")},
    {"copy into a missing folder", {{"list.csv", csv_list({A})}}, "", "", {}, "batch @list.csv --update @gone/out.csv", 2, {}, "目标文件夹不存在", "list.csv"},
    {"--output the list itself", {{"list.csv", csv_list({A})}}, "", "", [](P d) { std::error_code e; fs::create_symlink("list.csv", d / "link.csv", e); return !e; }, "batch @list.csv --output @link.csv", 2, {}, "that is your list", "list.csv"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const test::TempDir dir;
    for (const auto& [name, text] : c.files) dir.write(name, text);
    const auto run = [&](const std::string& line, bool slow, const Step& step, bool kill) {
      std::vector<std::string> args = {STDLOOKUP_CLI_PATH};
      std::istringstream words("--query-host 127.0.0.1:" + std::to_string(server.port()) +
                               " --delay " + (slow ? "400 " : "0 ") + line);
      for (std::string arg; words >> arg;)
        args.push_back(arg[0] == '@' ? test::native_text(dir.path() / arg.substr(1)) : arg);
      const std::size_t first = server.request_count();
      return test::run_process(args, "", [&](test::ProcessId child) {
        while (slow && server.request_count() == first) std::this_thread::yield();
        if (step) step(dir.path());
        if (kill) test::kill_process(child);
      });
    };
    down = c.went == "down";
    if (!c.went.empty()) run(c.earlier, c.went == "killed", {}, c.went == "killed");
    down = false;
    if (c.prepare && !c.prepare(dir.path())) continue;
    const std::string kept = c.intact.empty() ? "" : content(dir.path() / c.intact);
    const std::size_t first = server.request_count();
    const auto result = run(c.args, c.while_running != nullptr, c.while_running, false);
    EXPECT_EQ(result.exit_code, c.exit) << result.err;
    std::vector<std::string> asked;
    const auto requests = server.requests();
    for (std::size_t i = first; i < requests.size(); ++i) {
      const std::string sid = requests[i].target.substr(requests[i].target.find("SID=") + 4);
      asked.push_back(std::regex_replace(sid.substr(0, sid.find('&')), std::regex("%20"), " "));
    }
    EXPECT_EQ(asked, c.asked);
    EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
    EXPECT_EQ(c.intact.empty() ? "" : content(dir.path() / c.intact), kept);
    EXPECT_TRUE(!c.also || c.also(dir.path()));
  }
}

}  // namespace
}  // namespace stdlookup
