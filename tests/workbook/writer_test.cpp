#include "workbook/writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "runtime/gbk.h"
#include "support/temp_dir.h"
#include "support/workbook_reader.h"
#include "workbook/check.h"

namespace stdlookup::workbook {
namespace {

TEST(CellAddress, ParsesLettersThenRow) {
  struct Case {
    const char* text;
    bool ok;
    int row, column;
  } cases[] = {{"a1", true, 0, 0},   {"d1", true, 0, 3},    {"b2", true, 1, 1},
               {"c17", true, 16, 2}, {"AA10", true, 9, 26}, {"A0", false, 0, 0},
               {"1", false, 0, 0},   {"a", false, 0, 0},    {"", false, 0, 0},
               {"a1b", false, 0, 0}, {"ABCD1", false, 0, 0}};
  for (const Case& c : cases) {
    int row = -1, column = -1;
    EXPECT_EQ(parse_cell_address(c.text, row, column), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(row, c.row) << c.text;
      EXPECT_EQ(column, c.column) << c.text;
    }
  }
}

TEST(CellLimit, CutsAsSpreadsheetsCountNeverInsideACharacter) {
  std::string text = std::string(32765, 'a') + "\xF0\x9F\x98\x80";  // 32,767 UTF-16 units
  EXPECT_FALSE(cut_to_cell_limit(text));
  EXPECT_TRUE(cut_to_cell_limit(text += "a"));
  EXPECT_EQ(text, std::string(32765, 'a') + "…");  // no room for the pair and "…"
}

TEST(XlsxWriter, WritesNothingWithoutApplicationOrWorksheet) {
  test::TempDir dir;
  auto writer = make_xlsx_workbook_writer();
  EXPECT_FALSE(writer->create_workbook());  // no application yet
  EXPECT_FALSE(writer->save_as((dir.path() / "a.xlsx").string()).ok());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "a.xlsx"));

  writer->create_application();
  ASSERT_TRUE(writer->create_workbook());
  writer->set_current_worksheet(2);  // there is only one
  writer->set_range_start("a1");
  writer->set_range_end("a1");
  writer->set_value("lost");
  writer->set_current_worksheet(1);
  writer->set_range_start("b2");
  writer->set_range_end("b2");
  writer->set_value(utf8_to_gbk("留下"));
  ASSERT_TRUE(writer->save_as((dir.path() / "a.xlsx").string()).ok());
  nlohmann::json book = test::read_workbook((dir.path() / "a.xlsx").string());
  EXPECT_EQ(book["cells"]["B2"]["value"], "留下");
  EXPECT_TRUE(book["cells"]["A1"]["value"].is_null());
  EXPECT_EQ(book["cells"]["B2"]["format"], "General");  // no format was set
  EXPECT_EQ(test::read_workbook_xml((dir.path() / "a.xlsx").string()), book);
}

TEST(XlsxWriter, ARangeTakesFormatAndValueInEveryCell) {
  test::TempDir dir;
  auto writer = make_xlsx_workbook_writer();
  writer->create_application();
  writer->create_workbook();
  writer->set_range_start("c2");
  writer->set_range_end("a1");
  writer->set_number_format("@");
  writer->set_value("007");
  // A quote in the path reaches neither a shell nor a misread name.
  const std::string path = (dir.path() / "it's a range.xlsx").string();
  ASSERT_TRUE(writer->save_as(path).ok());
  nlohmann::json book = test::read_workbook(path);
  EXPECT_EQ(book["cells"].size(), 6u);
  EXPECT_EQ(test::read_workbook_xml(path), book);
  for (const auto& [ref, cell] : book["cells"].items()) {
    EXPECT_EQ(cell["value"], "007") << ref;
    EXPECT_EQ(cell["format"], "@") << ref;
  }
}

TEST(WorkbookCheck, RejectsTruncatedAndCorruptedFiles) {
  test::TempDir dir;
  const std::string good = (dir.path() / "good.xlsx").string();
  auto writer = make_xlsx_workbook_writer();
  writer->create_application();
  writer->create_workbook();
  for (int row = 1; row <= 300; ++row) {
    std::string cell = "a" + std::to_string(row);
    writer->set_range_start(cell);
    writer->set_range_end(cell);
    writer->set_value("GB " + std::to_string(row * 7919));
  }
  ASSERT_TRUE(writer->save_as(good).ok());
  EXPECT_EQ(check_workbook_file(good), "");

  std::ifstream in(good, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  auto write = [&](const std::string& name, const std::string& content) {
    std::ofstream(dir.path() / name, std::ios::binary) << content;
    return (dir.path() / name).string();
  };
  EXPECT_NE(check_workbook_file(write("cut.xlsx", bytes.substr(0, bytes.size() / 2))), "");
  std::string flipped = bytes;
  flipped[bytes.size() / 3] = static_cast<char>(flipped[bytes.size() / 3] ^ 0x55);
  EXPECT_NE(check_workbook_file(write("flipped.xlsx", flipped)), "");
  EXPECT_NE(check_workbook_file(write("empty.xlsx", "")), "");
  EXPECT_NE(check_workbook_file((dir.path() / "absent.xlsx").string()), "");
}

}  // namespace
}  // namespace stdlookup::workbook
