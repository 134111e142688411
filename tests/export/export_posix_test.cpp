// The export where POSIX lets a test take rights away or fill the disk.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "controls/memory_controls.h"
#include "export/export.h"
#include "export_test_util.h"
#include "runtime/gbk.h"
#include "support/opener_recorder.h"
#include "support/recording_presenter.h"
#include "support/temp_dir.h"

namespace stdlookup {
namespace {

// Exports into a folder the user may not write to; exits 3 when the export reported exactly that
// and opened nothing. Root may write anywhere, so as root the child becomes "nobody" first.
[[noreturn]] void export_into_read_only_folder(const std::string& folder) {
  if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) std::_Exit(1);
  MemoryControls controls;
  test::RecordingPresenter presenter;
  test::OpenerRecorder opener;
  presenter.dialog_result = folder + "/x.xlsx";
  export_to_workbook(controls);
  const bool reported = presenter.boxes.size() == 1 && gbk_to_utf8(presenter.boxes[0].message) ==
                                                           "导出失败\r\n没有写入目标文件夹的权限";
  std::_Exit(reported && opener.opened.empty() ? 3 : 2);
}

TEST(ExportDeathTest, ReadOnlyFolderFailsWithoutSuccess) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.path() / "ro");
  std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
  std::filesystem::permissions(dir.path() / "ro", std::filesystem::perms(0555));
  EXPECT_EXIT(export_into_read_only_folder((dir.path() / "ro").string()),
              ::testing::ExitedWithCode(3), "");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "ro"));
}

// In a child: files may grow to 4 KiB only, as on a nearly full disk; the export must fail.
[[noreturn]] void export_onto_a_full_disk(const std::string& path) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = 4096;
  setrlimit(RLIMIT_FSIZE, &limit);
  MemoryControls controls;
  for (int i = 0; i < 400; ++i) {
    add_row(controls, {"GB " + std::to_string(i), "食品安全国家标准", "2020-01-01", "现行"});
  }
  auto writer = make_xlsx_workbook_writer();
  SaveResult result = write_list_to_workbook(controls, *writer, path, false);
  std::fprintf(stderr, "%s\n", gbk_to_utf8(result.failure_reason).c_str());
  std::_Exit(result.ok() ? 0 : 3);
}

TEST(ExportFullDiskDeathTest, FullDiskKeepsThePreviousFileAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  const std::string path = (dir.path() / "standards.xlsx").string();
  dir.write("standards.xlsx", "the previous export");
  EXPECT_EXIT(export_onto_a_full_disk(path), ::testing::ExitedWithCode(3), "");
  EXPECT_EQ(file_content(path), "the previous export");
  EXPECT_EQ(folder_entries(dir.path()), std::vector<std::string>{"standards.xlsx"});
}

}  // namespace
}  // namespace stdlookup
