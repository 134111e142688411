#include "export/export.h"
#include "lists/batch_rows.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "controls/memory_controls.h"
#include "export_test_util.h"
#include "runtime/gbk.h"
#include "support/gbk_literals.h"
#include "support/long_list.h"
#include "support/opener_recorder.h"
#include "support/recording_presenter.h"
#include "support/temp_dir.h"
#include "support/workbook_reader.h"

namespace stdlookup {
namespace {

using namespace literals;
using test::g;

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
  EXPECT_EQ(test::read_workbook_xml(target("result.xlsx")), book);  // our reader agrees
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

// The window's export writes values in text cells and nothing else: no widths, fonts, fills,
// frozen panes or filter. The look belongs to the command line's workbooks (the readable
// writer): a bold, frozen header with a filter, columns as wide as their content (East Asian
// characters counting two, within a cap), abolished and failed rows coloured, a print setup.
TEST_F(ExportTest, OnlyTheReadableWriterGivesTheWorkbookALook) {
  const std::string fills[][2] = {
      {"现行", ""}, {"作废", "FFFFC7CE"}, {"查询失败", "FFD9D9D9"}, {"抱歉，没找到", "FFD9D9D9"}};
  for (const auto& [status, fill] : fills)
    add_row(controls, {"GB 1-2020", std::string(300, 'x'), "", status});
  presenter.dialog_result = target("plain.xlsx");
  export_to_workbook(controls);
  auto readable = lists::readable_workbook_writer();
  ASSERT_TRUE(write_list_to_workbook(controls, *readable, target("look.xlsx"), false).ok());
  for (const bool look : {false, true}) {
    SCOPED_TRACE(look ? "readable" : "the window's export");
    const std::string path = target(look ? "look.xlsx" : "plain.xlsx");
    nlohmann::json book = test::read_workbook(path);
    EXPECT_EQ(test::read_workbook_xml(path), book);  // our reader agrees
    EXPECT_EQ(book["freeze"].get<std::string>() + book["filter"].get<std::string>(),
              look ? "A2A1:D5" : "");
    // Printed landscape, one page wide, the header row on every page.
    auto package = test::read_package(path);
    EXPECT_EQ(package["xl/worksheets/sheet1.xml"].find(
                  R"(<pageSetup paperSize="9" fitToHeight="0" orientation="landscape"/>)") !=
                      std::string::npos &&
                  package["xl/workbook.xml"].find("_xlnm.Print_Titles") != std::string::npos,
              look);
    for (int r = 1; r <= 5; ++r) {
      for (const std::string column : {"A", "B", "C", "D"}) {
        const auto& cell = book["cells"][column + std::to_string(r)];
        EXPECT_EQ(cell["bold"], look && r == 1) << column << r;
        EXPECT_EQ(cell["fill"], look && r > 1 ? fills[r - 2][1] : "") << column << r;
        EXPECT_EQ(cell["format"], "@") << column << r;
      }
    }
    // "抱歉，没找到" (6 wide characters) is wider than "GB 1-2020"; 300 characters are capped.
    const auto& widths = book["widths"];
    EXPECT_TRUE(look ? widths["A"] < widths["D"] && widths["D"] < widths["B"] && widths["B"] < 64
                     : widths.empty())
        << widths;
  }
}

TEST_F(ExportTest, ALongListArrivesCellByCell) {
  for (int i = 0; i < test::kLongListRows; ++i) {
    const auto row = test::long_list_row(i);
    add_row(controls, {row[0], row[1], row[2], row[3]});
  }
  presenter.dialog_result = target("long.xlsx");
  export_to_workbook(controls);
  EXPECT_EQ(
      test::long_list_differences(test::read_workbook(target("long.xlsx")), test::kLongListRows),
      "");
  EXPECT_EQ(presenter.pending_message_passes, test::kLongListRows);
}

TEST_F(ExportTest, EmptyListGivesTheHeaderRowOnly) {
  presenter.dialog_result = target("empty.xlsx");
  export_to_workbook(controls);
  nlohmann::json book = test::read_workbook(target("empty.xlsx"));
  EXPECT_EQ(book["max_row"], 1);
  EXPECT_EQ(book["cells"]["D1"]["value"], "是否作废");
  EXPECT_EQ(presenter.pending_message_passes, 0);
}

// Chinese folder and file names reach the file system whole, whatever the system's code page;
// an earlier file of that name is replaced, and no temporary file stays behind.
TEST_F(ExportTest, ChineseFolderAndFileNames) {
  const std::filesystem::path folder = dir.path() / std::filesystem::path(u8"导出的 结果");
  const std::filesystem::path file = folder / std::filesystem::path(u8"标准清单.xlsx");
  std::filesystem::create_directory(folder);
  std::ofstream(file, std::ios::binary) << "the previous export";
  add_row(controls, {"GB 2760-2014", "食品安全国家标准", "2015-05-24", "现行"});
  presenter.dialog_result = test::native_text(file);
  export_to_workbook(controls);

  ASSERT_EQ(presenter.boxes.size(), 1u);
  EXPECT_EQ(gbk_to_utf8(presenter.boxes[0].message), "导出成功!");
  EXPECT_EQ(opened, std::vector<Text>{test::native_text(file)});
  nlohmann::json book = test::read_workbook(test::native_text(file));
  EXPECT_EQ(book["cells"]["B2"]["value"], "食品安全国家标准") << book;
  EXPECT_EQ(folder_entries(folder), std::vector<std::string>{"标准清单.xlsx"});
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
      {"standards", "standards.xlsx"}, {"old.xls", "old.xlsx"},  {"ALT.XLS", "ALT.xlsx"},
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
            (std::vector<std::string>{"ALT.xlsx", "list.csv", "new.xlsx", "old.xlsx",
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

}  // namespace
}  // namespace stdlookup
