#include "export/export.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "controls/memory_controls.h"
#include "runtime/gbk.h"
#include "support/gbk_literals.h"
#include "support/opener_recorder.h"
#include "support/recording_presenter.h"
#include "support/temp_dir.h"
#include "support/workbook_reader.h"

namespace stdlookup {
namespace {

using namespace literals;
using test::g;

constexpr std::string_view kList = kResultList;

void add_row(Controls& controls, std::initializer_list<std::string> utf8_cells) {
  int row = controls.list_insert_row(kList, "");
  int column = 0;
  for (const std::string& cell : utf8_cells) controls.list_set_cell(kList, row, column++, g(cell));
}

std::string file_content(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> folder_entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ExportTest : public ::testing::Test {
 protected:
  std::string target(const std::string& name) const { return (dir.path() / name).string(); }

  test::TempDir dir;
  MemoryControls controls;
  test::RecordingPresenter presenter;
  test::OpenerRecorder opener;
  std::vector<Text>& opened = opener.opened;
};

TEST_F(ExportTest, WritesHeaderAndRowsAsTextCellsThenReportsAndOpens) {
  add_row(controls, {"GB 2760-2014", "食品安全国家标准 食品添加剂使用标准", "2015-05-24", "现行"});
  add_row(controls, {"2760", "", "20150524", "作废"});  // digits stay text; an empty cell
  add_row(controls, {"GB/T 1-2020", "标准化工作导则", "2020-10-01", "抱歉，没找到"});
  presenter.dialog_result = target("result.xlsx");

  export_to_workbook(controls);

  ASSERT_EQ(presenter.boxes.size(), 1u);
  EXPECT_EQ(gbk_to_utf8(presenter.boxes[0].message), "导出成功!");
  EXPECT_EQ(gbk_to_utf8(presenter.boxes[0].title), "信息：");
  EXPECT_EQ(presenter.boxes[0].flags, unsigned{kMbIconInformation | kMbTaskModal});
  EXPECT_EQ(opened, std::vector<Text>{target("result.xlsx")});
  ASSERT_EQ(presenter.dialogs.size(), 1u);
  EXPECT_EQ(presenter.dialogs[0].type, 1);

  nlohmann::json book = test::read_workbook(target("result.xlsx"));
  ASSERT_FALSE(book.contains("error")) << book["error"];
  EXPECT_EQ(book["sheets"], 1);
  EXPECT_EQ(book["max_row"], 4);
  EXPECT_EQ(book["max_column"], 4);
  const auto& cells = book["cells"];
  const std::pair<const char*, const char*> expected[] = {
      {"A1", "标准号"},         {"B1", "标准中文名"},
      {"C1", "实施日期"},       {"D1", "是否作废"},
      {"A2", "GB 2760-2014"},   {"B2", "食品安全国家标准 食品添加剂使用标准"},
      {"C2", "2015-05-24"},     {"D2", "现行"},
      {"A3", "2760"},           {"C3", "20150524"},
      {"D3", "作废"},           {"A4", "GB/T 1-2020"},
      {"B4", "标准化工作导则"}, {"D4", "抱歉，没找到"}};
  for (auto [ref, value] : expected) {
    EXPECT_EQ(cells[ref]["value"], value) << ref;
    EXPECT_EQ(cells[ref]["type"], "s") << ref;  // text, never a number or a date
  }
  EXPECT_TRUE(cells["B3"]["value"].is_null());
  for (const auto& [ref, cell] : cells.items()) EXPECT_EQ(cell["format"], "@") << ref;
  EXPECT_EQ(cells.size(), 16u);
}

TEST_F(ExportTest, EmptyListGivesTheHeaderRowOnly) {
  presenter.dialog_result = target("empty.xlsx");
  export_to_workbook(controls);
  nlohmann::json book = test::read_workbook(target("empty.xlsx"));
  EXPECT_EQ(book["max_row"], 1);
  EXPECT_EQ(book["cells"]["D1"]["value"], "是否作废");
  EXPECT_EQ(presenter.pending_message_passes, 0);
}

TEST_F(ExportTest, CancelDoesNothing) {
  add_row(controls, {"GB 1", "a", "b", "现行"});
  export_to_workbook(controls);  // no dialog_result: the user cancels
  EXPECT_EQ(presenter.dialogs.size(), 1u);
  EXPECT_TRUE(presenter.boxes.empty());
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(folder_entries(dir.path()).empty());
}

// The content is an Office Open XML workbook: the name written and opened must say so.
TEST_F(ExportTest, TheNameSaysXlsxWhateverWasTyped) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"standards", "standards.xlsx"}, {"old.xls", "old.xlsx"},  {"OLD.XLS", "OLD.xlsx"},
      {"new.xlsx", "new.xlsx"},        {"list.csv", "list.csv"}, {"v1.2", "v1.2"},
  };
  for (const auto& [typed, written] : cases) {
    opened.clear();
    presenter.dialog_result = target(typed);
    export_to_workbook(controls);
    EXPECT_EQ(opened, std::vector<Text>{target(written)}) << typed;
    EXPECT_TRUE(std::filesystem::exists(target(written))) << typed;
  }
  EXPECT_EQ(folder_entries(dir.path()),
            (std::vector<std::string>{"OLD.xlsx", "list.csv", "new.xlsx", "old.xlsx",
                                      "standards.xlsx", "v1.2"}));
  EXPECT_EQ(presenter.dialogs[0].default_extension, "xlsx");
  EXPECT_NE(presenter.dialogs[0].filter.find("*.xlsx"), Text::npos);
}

// The layout's options reach the save dialog, less "the file must exist", which would make
// saving a new file impossible. The overwrite question names the file that is written.
TEST_F(ExportTest, AsksBeforeReplacingTheFileItWritesAndKeepsItWhenDeclined) {
  controls.common_dialog(kSaveDialog).flags =  // as the layout gives them
      kOfnHideReadOnly | kOfnFileMustExist | kOfnOverwritePrompt | kOfnPathMustExist;
  dir.write("kept.xlsx", "the previous export");
  presenter.dialog_results = {target("kept.xls"), std::nullopt};  // then cancel
  presenter.answers = {MessageBoxButton::no};
  export_to_workbook(controls);
  ASSERT_EQ(presenter.dialogs.size(), 2u);
  EXPECT_EQ(presenter.dialogs[0].flags & kOfnFileMustExist, 0u);
  EXPECT_NE(presenter.dialogs[0].flags & kOfnHideReadOnly, 0u);
  ASSERT_EQ(presenter.boxes.size(), 1u);
  EXPECT_NE(presenter.boxes[0].message.find(target("kept.xlsx") + " "), Text::npos);
  EXPECT_EQ(file_content(dir.path() / "kept.xlsx"), "the previous export");
  EXPECT_TRUE(opened.empty());

  presenter.dialog_results = {target("kept.xls")};
  presenter.answers = {MessageBoxButton::yes};
  export_to_workbook(controls);
  EXPECT_EQ(opened, std::vector<Text>{target("kept.xlsx")});
  EXPECT_NE(file_content(dir.path() / "kept.xlsx"), "the previous export");
}

// A presenter whose message pass stands for what the window does meanwhile.
struct BusyWindow : test::RecordingPresenter {
  std::function<void()> on_pass;
  void process_pending_messages() override {
    test::RecordingPresenter::process_pending_messages();
    if (on_pass) on_pass();
  }
};

TEST(ExportWhileBusy, RowsAddedAfterTheCountAreNotExportedAndMessagesFlowPerRow) {
  test::TempDir dir;
  MemoryControls controls;
  add_row(controls, {"GB 1", "一", "2001-01-01", "现行"});
  add_row(controls, {"GB 2", "二", "2002-02-02", "作废"});
  BusyWindow presenter;
  presenter.dialog_result = (dir.path() / "busy.xlsx").string();
  presenter.on_pass = [&] { add_row(controls, {"GB 3", "三", "2003-03-03", "现行"}); };
  test::OpenerRecorder opener;
  export_to_workbook(controls);

  EXPECT_EQ(presenter.pending_message_passes, 2);
  nlohmann::json book = test::read_workbook((dir.path() / "busy.xlsx").string());
  EXPECT_EQ(book["max_row"], 3);
  EXPECT_EQ(book["cells"]["A3"]["value"], "GB 2");
}

TEST(ExportWhileBusy, ASecondClickDuringAnExportIsIgnored) {
  test::TempDir dir;
  MemoryControls controls;
  add_row(controls, {"GB 1", "一", "2001-01-01", "现行"});
  BusyWindow presenter;
  presenter.dialog_result = (dir.path() / "once.xlsx").string();
  presenter.on_pass = [&] { export_to_workbook(controls); };  // the user clicks 按钮3 again
  test::OpenerRecorder opener;
  export_to_workbook(controls);

  EXPECT_EQ(presenter.dialogs.size(), 1u);
  EXPECT_EQ(presenter.boxes.size(), 1u);
  // once the first export is over, the button works again
  export_to_workbook(controls);
  EXPECT_EQ(presenter.dialogs.size(), 2u);
}

// A writer whose save fails as a broken disk would make it fail.
class FailingWriter : public WorkbookWriter {
 public:
  bool create_application() override { return true; }
  void quit_application() override { ++quits; }
  void release_application() override {}
  bool create_workbook() override { return true; }
  void activate() override {}
  void set_current_worksheet(int) override {}
  void set_range_start(std::string_view) override {}
  void set_range_end(std::string_view) override {}
  void set_number_format(std::string_view) override {}
  void set_value(std::string_view) override {}
  SaveResult save_as(const Text&) override { return {"设备出错"_gbk}; }
  void close_workbook() override {}
  void release_workbook() override {}
  int quits = 0;
};

TEST_F(ExportTest, AFailedSaveIsReportedAndOpensNothing) {
  presenter.dialog_result = target("x.xlsx");
  FailingWriter writer;
  export_to_workbook(controls, writer);
  ASSERT_EQ(presenter.boxes.size(), 1u);
  EXPECT_EQ(gbk_to_utf8(presenter.boxes[0].message), "导出失败\r\n设备出错");
  EXPECT_EQ(presenter.boxes[0].flags & kMbIconMask, unsigned{kMbIconHand});
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(writer.quits, 1);  // the application is still shut down
}

TEST_F(ExportTest, MissingFolderFailsAndLeavesNothing) {
  presenter.dialog_result = target("missing/x.xlsx");
  export_to_workbook(controls);
  ASSERT_EQ(presenter.boxes.size(), 1u);
  EXPECT_EQ(gbk_to_utf8(presenter.boxes[0].message), "导出失败\r\n目标文件夹不存在");
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(folder_entries(dir.path()).empty());
}

TEST_F(ExportTest, TargetThatIsAFolderStaysAndNoTemporaryFileRemains) {
  std::filesystem::create_directory(dir.path() / "taken.xlsx");
  dir.write("taken.xlsx/keep.txt", "keep");
  presenter.dialog_result = target("taken.xlsx");
  export_to_workbook(controls);
  ASSERT_EQ(presenter.boxes.size(), 1u);
  EXPECT_EQ(gbk_to_utf8(presenter.boxes[0].message).rfind("导出失败", 0), 0u);
  EXPECT_EQ(folder_entries(dir.path()), std::vector<std::string>{"taken.xlsx"});
  EXPECT_EQ(file_content(dir.path() / "taken.xlsx/keep.txt"), "keep");
}

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
