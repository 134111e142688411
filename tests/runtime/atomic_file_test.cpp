#include "runtime/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
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

// What a writer killed between its temporary file and the rename left behind goes on the next
// write into that folder once it is a day old; nothing else there is touched.
TEST(ReplaceFile, RemovesOurOwnStaleTemporaryFilesOnly) {
  test::TempDir dir, elsewhere;
  enum Kind { file, folder, link };
  const struct {
    const char* name;
    Kind kind;
    int age_hours;
    bool kept;
  } cases[] = {
      {".stdlookup-a1B2c3.tmp", file, 25, false},  {".stdlookup-a1B2c4.tmp", file, 23, true},
      {".stdlookup-a1B2c5.tmp", folder, 25, true}, {".stdlookup-a1B2c6.tmp", link, 25, true},
      {".stdlookup-a1B2c.tmp", file, 25, true},    {".stdlookup-a1B2c7.tmpx", file, 25, true},
      {"x.stdlookup-a1B2c8.tmp", file, 25, true},  {".stdlookup-a1-2c9.tmp", file, 25, true},
  };
  const auto aged = [](const std::filesystem::path& path, int hours) {
    const timespec when{::time(nullptr) - hours * 3600, 0};
    const timespec times[2] = {when, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
  };
  for (const auto& c : cases) {
    const std::filesystem::path path = dir.path() / c.name;
    if (c.kind == folder) std::filesystem::create_directory(path);
    if (c.kind == file) dir.write(c.name, "left");
    if (c.kind == link) {
      aged(elsewhere.write(c.name, "not ours to remove"), c.age_hours);
      std::filesystem::create_symlink(elsewhere.path() / c.name, path);
    }
    aged(path, c.age_hours);
  }
  ASSERT_TRUE(replace_file((dir.path() / "t.txt").string(), writes("new")).ok());
  for (const auto& c : cases)
    EXPECT_EQ(std::filesystem::symlink_status(dir.path() / c.name).type() !=
                  std::filesystem::file_type::not_found,
              c.kept)
        << c.name;
  EXPECT_EQ(content_of(elsewhere.path() / ".stdlookup-a1B2c6.tmp"), "not ours to remove");
}

}  // namespace
}  // namespace stdlookup
