#include "web/cookie_store.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/gbk_literals.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace stdlookup {
namespace {

namespace fs = std::filesystem;

std::string line(const std::string& name, const std::string& value,
                 const std::string& domain = "127.0.0.1") {
  return domain + "\tFALSE\t/\tFALSE\t0\t" + name + "\t" + value;
}

std::string repeated_lines(const std::string& text, std::size_t times) {
  std::string all;
  while (times-- > 0) all += text;
  return all;
}

class CookieStoreTest : public ::testing::Test {
 protected:
  test::TempDir data_;
  test::ScopedEnv xdg_{"XDG_DATA_HOME", data_.str()};
  fs::path folder_ = data_.path() / "stdlookup" / "Cookies";

  void write(const std::string& name, const std::string& content = "x") {
    fs::create_directories(folder_);
    std::ofstream(folder_ / name, std::ios::binary) << content;
  }
  std::string store_file() const {
    std::ifstream in(folder_ / kCookieStoreFileName, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST_F(CookieStoreTest, FolderFollowsXdgDataHome) {
  EXPECT_EQ(cookie_folder_path(), folder_.string());
  test::TempDir home;
  test::ScopedEnv h("HOME", home.str());
  const std::string fallback = home.str() + "/.local/share/stdlookup/Cookies";
  {
    test::ScopedEnv relative("XDG_DATA_HOME", "relative/data");  // not absolute: ignored
    EXPECT_EQ(cookie_folder_path(), fallback);
  }
  {
    test::ScopedEnv unset("XDG_DATA_HOME", std::nullopt);
    EXPECT_EQ(cookie_folder_path(), fallback);
  }
}

TEST_F(CookieStoreTest, ClearDeletesMatchingTxtFilesOnly) {
  write("mysite1.txt");
  write("other1.txt");
  write("notes.dat");
  fs::create_directories(folder_ / "old.txt");
  Text filter = "site";
  Text folder;
  EXPECT_TRUE(clear_cookie_files(&filter, &folder));
  EXPECT_EQ(folder, folder_.string());
  EXPECT_FALSE(fs::exists(folder_ / "mysite1.txt"));
  EXPECT_TRUE(fs::exists(folder_ / "other1.txt"));

  EXPECT_TRUE(clear_cookie_files());
  EXPECT_FALSE(fs::exists(folder_ / "other1.txt"));
  EXPECT_TRUE(fs::exists(folder_ / "notes.dat"));
  EXPECT_TRUE(fs::is_directory(folder_ / "old.txt"));
  EXPECT_FALSE(clear_cookie_files());  // nothing left to delete
}

TEST_F(CookieStoreTest, FilterIsCaseSensitiveAndSteppedByCharacter) {
  // "站点" in GBK is D5 BE B5 E3; the filter BE B5 straddles two characters and must not match.
  const std::string name = test::g("站点") + ".txt";
  write(name);
  write("Site.txt");
  Text straddling = test::bytes({0xBE, 0xB5});
  Text lower = "site";
  EXPECT_FALSE(clear_cookie_files(&straddling));
  EXPECT_FALSE(clear_cookie_files(&lower));
  Text chinese = test::g("点");
  EXPECT_TRUE(clear_cookie_files(&chinese));
  EXPECT_FALSE(fs::exists(folder_ / name));
  EXPECT_TRUE(fs::exists(folder_ / "Site.txt"));
}

TEST_F(CookieStoreTest, ClearNeverReachesOutsideTheFolder) {
  test::TempDir outside;
  fs::path target = outside.write("victim.txt");
  fs::create_directories(folder_);
  fs::create_symlink(target, folder_ / "link.txt");
  fs::create_directories(folder_ / "sub");
  std::ofstream(folder_ / "sub" / "inner.txt") << "x";
  EXPECT_FALSE(clear_cookie_files());
  EXPECT_TRUE(fs::exists(target));
  EXPECT_TRUE(fs::is_symlink(folder_ / "link.txt"));
  EXPECT_TRUE(fs::exists(folder_ / "sub" / "inner.txt"));
}

TEST_F(CookieStoreTest, MissingFolderDeletesNothing) {
  Text folder = "stale";
  EXPECT_FALSE(clear_cookie_files(nullptr, &folder));
  EXPECT_EQ(folder, folder_.string());
}

TEST_F(CookieStoreTest, WithoutHomeTheAccountsHomeFolderIsUsed) {
  test::ScopedEnv no_xdg("XDG_DATA_HOME", std::nullopt);
  test::ScopedEnv no_home("HOME", "");
  const passwd* account = ::getpwuid(::getuid());
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(cookie_folder_path(), std::string(account->pw_dir) + "/.local/share/stdlookup/Cookies");
}

TEST_F(CookieStoreTest, LoadReadsCookieLinesOfEveryTxtFile) {
  write("a.txt", "# Netscape HTTP Cookie File\n" + line("a", "1") + "\n\n#comment\n");
  write("b.txt", "#HttpOnly_" + line("b", "2") + "\r\nnot a cookie\n" + line("c", "3"));
  write("c.dat", line("d", "4") + "\n");
  CookieLines lines = load_cookie_store();
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (CookieLines{"#HttpOnly_" + line("b", "2"), line("a", "1"), line("c", "3")}));
}

TEST_F(CookieStoreTest, SaveWritesOnlyWhatChanged) {
  EXPECT_TRUE(save_cookie_store_changes({}, {}));
  EXPECT_FALSE(fs::exists(folder_));  // nothing changed: nothing written

  EXPECT_TRUE(save_cookie_store_changes({}, {line("a", "1"), line("b", "2")}));
  EXPECT_EQ(store_file(),
            "# Netscape HTTP Cookie File\n" + line("a", "1") + "\n" + line("b", "2") + "\n");

  // Another request, begun earlier, adds its own cookie: both stay.
  EXPECT_TRUE(save_cookie_store_changes({}, {line("c", "3")}));
  // A changed value replaces the old line, a cookie gone from the engine goes from the file.
  EXPECT_TRUE(save_cookie_store_changes({line("a", "1"), line("b", "2")},
                                        {line("a", "9"), line("c", "3")}));
  EXPECT_EQ(store_file(),
            "# Netscape HTTP Cookie File\n" + line("a", "9") + "\n" + line("c", "3") + "\n");

  // Same name on another domain is another cookie.
  EXPECT_TRUE(save_cookie_store_changes({}, {line("c", "x", "other.example")}));
  CookieLines lines = load_cookie_store();
  EXPECT_EQ(lines.size(), 3u);
}

TEST_F(CookieStoreTest, SavingDropsExpiredCookies) {
  const std::string old_line = "127.0.0.1\tFALSE\t/\tFALSE\t1000\told\t1";
  const std::string future_line = "127.0.0.1\tFALSE\t/\tFALSE\t4102444800\tlater\t1";
  write(kCookieStoreFileName, old_line + "\n" + future_line + "\n");
  EXPECT_TRUE(save_cookie_store_changes({}, {line("a", "1")}));
  EXPECT_EQ(store_file(),
            "# Netscape HTTP Cookie File\n" + future_line + "\n" + line("a", "1") + "\n");
}

TEST_F(CookieStoreTest, StoreIsPrivateToTheUser) {
  ASSERT_TRUE(save_cookie_store_changes({}, {line("a", "1")}));
  struct stat st;
  ASSERT_EQ(::stat(folder_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat((folder_ / kCookieStoreFileName).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // No temporary file is left behind.
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(folder_)) entries += entry.exists() ? 1 : 0;
  EXPECT_EQ(entries, 1);
}

TEST_F(CookieStoreTest, ConcurrentSavesLoseNothing) {
  constexpr int kThreads = 4;
  constexpr int kEach = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kEach; ++i) {
        save_cookie_store_changes({},
                                  {line("t" + std::to_string(t) + "_" + std::to_string(i), "v")});
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(load_cookie_store().size(), static_cast<std::size_t>(kThreads * kEach));
}

TEST_F(CookieStoreTest, SymlinkedFolderIsNeitherClearedNorReadNorWritten) {
  test::TempDir elsewhere;
  elsewhere.write("victim.txt", line("v", "1") + "\n");
  fs::create_directories(folder_.parent_path());
  fs::create_directory_symlink(elsewhere.path(), folder_);
  EXPECT_FALSE(clear_cookie_files());
  EXPECT_TRUE(load_cookie_store().empty());
  EXPECT_FALSE(save_cookie_store_changes({}, {line("a", "1")}));
  EXPECT_TRUE(fs::exists(elsewhere.path() / "victim.txt"));
  EXPECT_FALSE(fs::exists(elsewhere.path() / kCookieStoreFileName));
}

TEST_F(CookieStoreTest, StoreIsBoundedPerHostAndInAllOldestFirst) {
  auto lines_for = [](const std::string& host, std::size_t count) {
    CookieLines lines;
    for (std::size_t i = 0; i < count; ++i)
      lines.push_back(line("c" + std::to_string(i), "v", host));
    return lines;
  };
  // One host over its bound keeps its newest; a replaced cookie counts once, at its new place.
  CookieLines one = lines_for("a.example", kCookiesPerHost + 20);
  one.push_back(line("c0", "new", ".a.example"));  // the same host, written with a leading dot
  one.push_back(line("c5", "new", "a.example"));
  CookieLines bounded = bounded_cookie_lines(one);
  ASSERT_EQ(bounded.size(), kCookiesPerHost);
  EXPECT_EQ(bounded.front(), line("c22", "v", "a.example"));
  EXPECT_EQ(bounded.back(), line("c5", "new", "a.example"));

  // Many hosts over the total: the oldest hosts' cookies go.
  const std::size_t hosts = kCookiesInStore / kCookiesPerHost + 1;
  CookieLines many;
  for (std::size_t h = 0; h < hosts; ++h) {
    CookieLines more = lines_for("h" + std::to_string(h), kCookiesPerHost);
    many.insert(many.end(), more.begin(), more.end());
  }
  bounded = bounded_cookie_lines(many);
  ASSERT_EQ(bounded.size(), kCookiesInStore);
  EXPECT_EQ(bounded.back(), many.back());
  EXPECT_EQ(bounded.front(), many[many.size() - kCookiesInStore]);

  // What is saved and what is loaded are bounded the same way.
  EXPECT_TRUE(save_cookie_store_changes({}, one));
  EXPECT_EQ(load_cookie_store(), bounded_cookie_lines(one));
  std::istringstream saved(store_file());
  std::size_t saved_lines = 0;
  for (std::string l; std::getline(saved, l);) saved_lines += l.empty() || l[0] == '#' ? 0 : 1;
  EXPECT_EQ(saved_lines, kCookiesPerHost);
}

TEST_F(CookieStoreTest, AFileIsReadOnlyToItsLineAndByteBounds) {
  const std::string filler = repeated_lines("#x\n", kCookieFileLines - 1);
  const struct {
    std::string content;
    bool loaded;
  } cases[] = {
      {filler + line("last", "1"), true},                         // the last line that is read
      {filler + "#x\n" + line("past", "1") + "\n", false},        // one line too many
      {line("long", std::string(kCookieFileBytes, 'v')), false},  // cut by the byte bound
      {line("short", "1") + "\n" + std::string(kCookieFileBytes, '#'), true},
  };
  for (const auto& c : cases) {
    write("big.txt", c.content);
    EXPECT_EQ(load_cookie_store().size(), c.loaded ? 1u : 0u)
        << c.content.substr(c.content.size() - 20);
  }
}

TEST_F(CookieStoreTest, ARequestGetsOnlyItsHostsAndParentDomainsCookies) {
  const CookieLines lines = {line("a", "1", "std.example.cn"),
                             line("b", "2", ".example.cn"),
                             "#HttpOnly_" + line("c", "3", "STD.Example.cn"),
                             line("d", "4", "ample.cn"),
                             line("e", "5", "other.cn"),
                             line("f", "6", "a.std.example.cn"),
                             line("g", "7", "127.0.0.1")};
  EXPECT_EQ(cookies_for_host(lines, "std.example.cn"), (CookieLines{lines[0], lines[1], lines[2]}));
  EXPECT_EQ(cookies_for_host(lines, "127.0.0.1"), (CookieLines{lines[6]}));
  EXPECT_TRUE(cookies_for_host(lines, "cn").empty());
}

}  // namespace
}  // namespace stdlookup
