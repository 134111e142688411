#include "list_input.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "compare.h"
#include "export/export.h"
#include "input.h"
#include "runtime/gbk.h"
#include "support/temp_dir.h"

namespace stdlookup::cli {
namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST(ListInput, OurOwnExportReadsBackExactly) {
  test::TempDir dir;
  const std::string path = (dir.path() / "export.xlsx").string();
  const std::vector<ExportRow> written = {
      {"GB 2760-2014", utf8_to_gbk("食品安全国家标准 食品添加剂使用标准"), "2015-05-24",
       utf8_to_gbk("作废")},
      {"007", "", "2015-05-24", utf8_to_gbk("现行")},  // text that looks like a number
  };
  auto writer = make_xlsx_workbook_writer();
  ASSERT_TRUE(write_rows_to_workbook(written, *writer, path).ok());
  ListRows read = read_export(path);
  ASSERT_EQ(read.error, "");
  ASSERT_EQ(read.rows.size(), 2u);
  EXPECT_EQ(read.rows[0].number, "GB 2760-2014");
  EXPECT_EQ(read.rows[0].chinese_name, "食品安全国家标准 食品添加剂使用标准");
  EXPECT_EQ(read.rows[0].status, "作废");
  EXPECT_EQ(read.rows[1].number, "007");
  EXPECT_EQ(numbers_of(read_xlsx_table(path, numbers_column(""))).numbers,
            (std::vector<std::string>{"GB 2760-2014", "007"}));
  // Our CSV keeps a cell a spreadsheet would run as text with an apostrophe; read back without.
  const ListRows csv = read_csv_export("a,b,c,d\r\n'=HYPERLINK(1),'-x,'plain,\r\n");
  ASSERT_EQ(csv.rows.size(), 1u);
  EXPECT_EQ(csv.rows[0].number, "=HYPERLINK(1)");
  EXPECT_EQ(csv.rows[0].chinese_name, "-x");
  EXPECT_EQ(csv.rows[0].implementation_date, "'plain");
}

// A workbook as openpyxl writes it (shared strings, a number, gaps), made once with
//   s.append(['产品', '标准号', '备注']); s.append(['酱油', 'GB 2717-2018', None])
//   s.append(['醋', None, 'x']); s.append(['糖', 2760, None]); s['B6'] = 'GB/T 317'
TEST(ListInput, AWorkbookWithSharedStringsNumbersAndGaps) {
  const auto numbers = [](std::string_view column) {
    return numbers_of(
        read_xlsx_table(STDLOOKUP_TEST_DATA_DIR "/list_openpyxl.xlsx", numbers_column(column)));
  };
  ASSERT_EQ(numbers("").error, "");
  const std::vector<std::string> expected = {"GB 2717-2018", "2760", "GB/T 317"};
  EXPECT_EQ(numbers("").numbers, expected);  // the column headed 标准号
  EXPECT_EQ(numbers("b").numbers, expected);
  EXPECT_EQ(numbers("标准号").numbers, expected);
  EXPECT_EQ(numbers("A").numbers, (std::vector<std::string>{"酱油", "醋", "糖"}));
  EXPECT_NE(numbers("型号").error, "");
}

TEST(ListInput, DamagedAndProtectedWorkbooksAreClearErrors) {
  test::TempDir dir;
  const std::vector<std::pair<std::string, std::string>> files = {
      {"cut.xlsx", std::string("PK\x03\x04", 4) + "cut short"},
      {"protected.xlsx", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "ole"},
      {"empty.xlsx", ""},
  };
  for (const auto& [name, content] : files) {
    std::ofstream(dir.path() / name, std::ios::binary) << content;
    const Table table = read_xlsx_table((dir.path() / name).string(), columns(0, 1));
    EXPECT_NE(table.error, "") << name;
    EXPECT_TRUE(table.rows.empty()) << name;
  }
  EXPECT_NE(read_xlsx_table((dir.path() / "protected.xlsx").string(), columns(0, 1))
                .error.find("password"),
            std::string::npos);
  EXPECT_NE(read_xlsx_table((dir.path() / "absent.xlsx").string(), columns(0, 1)).error, "");
}

TEST(ListInput, CsvQuotesLineEndsAndByteOrderMark) {
  const std::string_view csv =
      "\xEF\xBB\xBF标准号,名称\r\n\"GB 1, part 2\",\"a \"\"b\"\"\"\nGB 2\n\n\"GB\n3\",x";
  const Table table = read_csv_table(csv, columns(0, 2));
  EXPECT_EQ(table.header, (std::vector<std::string>{"标准号", "名称"}));
  EXPECT_EQ(table.rows, (Rows{{"GB 1, part 2", "a \"b\""}, {"GB 2", ""}, {"GB\n3", "x"}}));
  EXPECT_EQ(numbers_of(read_csv_table(csv, numbers_column(""))).numbers,
            (std::vector<std::string>{"GB 1, part 2", "GB 2", "GB\n3"}));
}

TEST(ListInput, AnOverlongCellIsCutBetweenCharacters) {
  const std::string long_cell = [] {
    std::string text = "x";  // so that the cut falls inside a three-byte character
    while (text.size() <= kCellBytes) text += "中";
    return text;
  }();
  const std::string cells[] = {
      read_csv_table("h\n" + long_cell, columns(0, 1)).rows.at(0).at(0),
      read_json_export(R"([{"number": ")" + long_cell + R"("}])").rows.at(0).number,
  };
  for (const std::string& cell : cells) {
    EXPECT_TRUE(cell.size() <= kCellBytes && cell.size() > kCellBytes - 3) << cell.size();
    EXPECT_TRUE(is_valid_utf8(cell));
  }
}

TEST(CompareLists, FindsEachKindOfChange) {
  const auto row = [](std::string number, std::string name, std::string date, std::string status) {
    return ListRow{number, number, name, date, status};
  };
  const std::vector<ListRow> before = {
      row("GB 1-2000", "a", "2000-01-01", "现行"),  // becomes 作废
      row("GB 2-2000", "b", "2000-01-01", "作废"),  // becomes 现行 again
      row("GB 3-2000", "c", "2000-01-01", "现行"),  // renamed
      row("GB 4-2000", "d", "2000-01-01", "现行"),  // fails now
      row("GB 5-2000", "e", "2000-01-01", "现行"),  // unchanged
      row("GB 6-2000", "f", "2000-01-01", "现行"),  // gone
      row("", "", "", "查询失败"),                  // no number: cannot be matched
  };
  std::vector<ListRow> now = {
      row("GB 1-2000", "a", "2000-01-01", "作废"),
      row("gb2-2000", "b", "2000-01-01", "现行"),  // matched after normalising
      row("GB 3-2000", "c2", "2000-01-01", "现行"),
      row("GB 4-2000", "", "", "查询失败"),
      row("GB 5-2000", "e", "2000-01-01", "现行"),
      row("GB 7-2000", "g", "2000-01-01", "现行"),  // added
  };
  const ChangeReport report = compare_lists(before, now, {});
  const auto numbers = [](const std::vector<Change>& changes, bool now_side) {
    std::vector<std::string> out;
    for (const Change& c : changes) out.push_back(now_side ? c.now.number : c.before.number);
    return out;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(numbers(report.newly_abolished, true), V{"GB 1-2000"});
  EXPECT_EQ(numbers(report.newly_current, true), V{"gb2-2000"});
  EXPECT_EQ(numbers(report.details_changed, true), V{"GB 3-2000"});
  EXPECT_EQ(numbers(report.newly_failed, false), V{"GB 4-2000"});
  EXPECT_EQ(numbers(report.added, true), V{"GB 7-2000"});
  EXPECT_EQ(numbers(report.gone, false), V{"GB 6-2000"});
  EXPECT_EQ(report.unchanged, 1);
}

}  // namespace
}  // namespace stdlookup::cli
