#include "runtime/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "runtime/gbk.h"
#include "support/temp_dir.h"

namespace stdlookup {
namespace {

std::string content_of(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

mode_t mode_of(const std::filesystem::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

auto writes(std::string content) {
  return [content](const std::string& temp) {
    return write_whole_file(temp, content) ? Text("write failed") : Text();
  };
}

TEST(ReplaceFile, AFailedCheckKeepsTheTargetAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  const std::string target = (dir.path() / "t.txt").string();
  dir.write("t.txt", "old");
  std::string temp_seen;
  FileReplacement result = replace_file(
      target,
      [&](const std::string& temp) {
        temp_seen = temp;
        return writes("new")(temp);
      },
      [](const std::string&) { return Text("bad"); });
  EXPECT_FALSE(result.ok());
  EXPECT_EQ(failure_of(result), "bad");
  EXPECT_EQ(std::filesystem::path(temp_seen).parent_path(), dir.path());  // same file system
  EXPECT_FALSE(std::filesystem::exists(temp_seen));
  EXPECT_EQ(content_of(target), "old");
}

TEST(ReplaceFile, ReplacesKeepingTheTargetsModeOrMakingItPrivate) {
  test::TempDir dir;
  const auto target = dir.path() / "t.txt";
  dir.write("t.txt", "old");
  std::filesystem::permissions(target, std::filesystem::perms(0640));
  EXPECT_TRUE(replace_file(target.string(), writes("new")).ok());
  EXPECT_EQ(content_of(target), "new");
  EXPECT_EQ(mode_of(target), 0640u);

  ReplaceOptions private_file;
  private_file.private_file = true;
  private_file.sync = false;
  EXPECT_TRUE(
      replace_file((dir.path() / "p.txt").string(), writes("secret"), {}, private_file).ok());
  EXPECT_EQ(mode_of(dir.path() / "p.txt"), 0600u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(ReplaceFile, FailuresNameTheirCause) {
  test::TempDir dir;
  FileReplacement missing = replace_file((dir.path() / "no/such/x.txt").string(), writes("x"));
  EXPECT_EQ(gbk_to_utf8(failure_of(missing)), "目标文件夹不存在");
  EXPECT_EQ(gbk_to_utf8(failure_of(replace_file("", writes("x")))), "目标文件夹不存在");
  std::filesystem::create_directory(dir.path() / "d");
  FileReplacement folder = replace_file((dir.path() / "d").string(), writes("x"));
  EXPECT_EQ(gbk_to_utf8(failure_of(folder)), "目标是一个文件夹");
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "d"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  EXPECT_EQ(gbk_to_utf8(describe_file_error(ENOSPC)), "磁盘空间不足");
}

TEST(ReplaceFile, RemovesOurOwnTemporaryFilesOnceADayOld) {
  test::TempDir dir;
  const timespec day_old{::time(nullptr) - 25 * 3600, 0}, times[2] = {day_old, day_old};
  const auto age = [&](auto path) {
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
  };
  age(dir.write("t.txt"));
  age(dir.write(".stdlookup-a1B2c3.tmp"));  // the one to go
  age(dir.write(".stdlookup-a1B2c3.txt"));
  dir.write(".stdlookup-fresh1.tmp");
  std::filesystem::create_symlink(dir.path() / "t.txt", dir.path() / ".stdlookup-link01.tmp");
  age(dir.path() / ".stdlookup-link01.tmp");  // never followed to the old file behind it
  ASSERT_TRUE(replace_file((dir.path() / "t.txt").string(), writes("new")).ok());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 4);  // one gone
}

}  // namespace
}  // namespace stdlookup
