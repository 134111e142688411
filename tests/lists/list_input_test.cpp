#include "lists/list_input.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>

#include "export/export.h"
#include "lists/compare.h"
#include "lists/input.h"
#include "lists/user_list.h"
#include "runtime/gbk.h"
#include "runtime/text.h"
#include "support/temp_dir.h"
#include "workbook/package.h"

namespace stdlookup::lists {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// What was read, or a test failure and nothing.
template <class T>
T read_ok(workbook::Result<T> read) {
  if (read.ok()) return std::move(*read);
  ADD_FAILURE() << read.error();
  return T();
}

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
  const auto exported = read_export(path);
  ASSERT_EQ(exported.error(), "");
  const ListRows& read = *exported;
  ASSERT_EQ(read.rows.size(), 2u);
  EXPECT_EQ(read.rows[0].number, "GB 2760-2014");
  EXPECT_EQ(read.rows[0].chinese_name, "食品安全国家标准 食品添加剂使用标准");
  EXPECT_EQ(read.rows[0].status, "作废");
  EXPECT_EQ(read.rows[1].number, "007");
  EXPECT_EQ(numbers_of(read_ok(read_xlsx_table(path, numbers_column("")))).numbers,
            (std::vector<std::string>{"GB 2760-2014", "007"}));
  // Our CSV keeps a cell a spreadsheet would run as text with an apostrophe; read back without.
  const ListRows csv = read_ok(read_csv_export("a,b,c,d\r\n'=HYPERLINK(1),'-x,'plain,\r\n"));
  ASSERT_EQ(csv.rows.size(), 1u);
  EXPECT_EQ(csv.rows[0].number, "=HYPERLINK(1)");
  EXPECT_EQ(csv.rows[0].chinese_name, "-x");
  EXPECT_EQ(csv.rows[0].implementation_date, "'plain");
}

// A workbook as openpyxl writes it (shared strings, a number, gaps), made once with
//   s.append(['产品', '标准号', '备注']); s.append(['酱油', 'GB 2717-2018', None])
//   s.append(['醋', None, 'x']); s.append(['糖', 2760, None]); s['B6'] = 'GB/T 317'
TEST(ListInput, AWorkbookWithSharedStringsNumbersAndGaps) {
  const auto read = [](std::string_view column) {
    return read_xlsx_table(STDLOOKUP_TEST_DATA_DIR "/list_openpyxl.xlsx", numbers_column(column));
  };
  const auto numbers = [&](std::string_view column) { return numbers_of(read_ok(read(column))); };
  ASSERT_EQ(read("").error(), "");
  const std::vector<std::string> expected = {"GB 2717-2018", "2760", "GB/T 317"};
  EXPECT_EQ(numbers("").numbers, expected);  // the column headed 标准号
  EXPECT_EQ(numbers("b").numbers, expected);
  EXPECT_EQ(numbers("标准号").numbers, expected);
  EXPECT_EQ(numbers("A").numbers, (std::vector<std::string>{"酱油", "醋", "糖"}));
  EXPECT_NE(read("型号").error(), "");
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
    const auto table = read_xlsx_table((dir.path() / name).string(), columns(0, 1));
    EXPECT_NE(table.error(), "") << name;
    EXPECT_FALSE(table.ok()) << name;
  }
  EXPECT_NE(read_xlsx_table((dir.path() / "protected.xlsx").string(), columns(0, 1))
                .error()
                .find("password"),
            std::string::npos);
  EXPECT_NE(read_xlsx_table((dir.path() / "absent.xlsx").string(), columns(0, 1)).error(), "");
}

TEST(ListInput, CsvQuotesLineEndsAndByteOrderMark) {
  const std::string_view csv =
      "\xEF\xBB\xBF标准号,名称\r\n\"GB 1, part 2\",\"a \"\"b\"\"\"\nGB 2\n\n\"GB\n3\",x";
  const Table table = read_ok(read_csv_table(csv, columns(0, 2)));
  EXPECT_EQ(table.header, (std::vector<std::string>{"标准号", "名称"}));
  EXPECT_EQ(table.rows, (Rows{{"GB 1, part 2", "a \"b\""}, {"GB 2", ""}, {"GB\n3", "x"}}));
  EXPECT_EQ(numbers_of(read_ok(read_csv_table(csv, numbers_column("")))).numbers,
            (std::vector<std::string>{"GB 1, part 2", "GB 2", "GB\n3"}));
}

TEST(ListInput, AnOverlongCellIsCutBetweenCharacters) {
  const std::string long_cell = [] {
    std::string text = "x";  // so that the cut falls inside a three-byte character
    while (text.size() <= kCellBytes) text += "中";
    return text;
  }();
  const std::string cells[] = {
      read_ok(read_csv_table("h\n" + long_cell, columns(0, 1))).rows.at(0).at(0),
      read_ok(read_json_export(R"([{"number": ")" + long_cell + R"("}])")).rows.at(0).number,
  };
  for (const std::string& cell : cells) {
    EXPECT_TRUE(cell.size() <= kCellBytes && cell.size() > kCellBytes - 3) << cell.size();
    EXPECT_TRUE(is_valid_utf8(cell));
  }
}

constexpr const char* kSheet2 = "xl/worksheets/sheet2.xml";

// A row of inline-string cells from column A, and a workbook of (name, sheet XML) as a
// spreadsheet program lays it out.
std::string row(int r, const std::vector<std::string>& cells) {
  std::string xml = "<row r=\"" + std::to_string(r) + "\">";
  for (std::size_t c = 0; c < cells.size(); ++c) {
    if (cells[c].empty()) continue;
    xml += "<c r=\"" + std::string(1, static_cast<char>('A' + c)) + std::to_string(r) +
           "\" t=\"inlineStr\"><is><t>" + cells[c] + "</t></is></c>";
  }
  return xml + "</row>";
}
std::string workbook(const std::vector<std::pair<std::string, std::string>>& sheets) {
  std::string book, rels, types = "<Override PartName=\"/xl/styles.xml\" ContentType=\"s\"/>";
  std::vector<std::pair<std::string, std::string>> parts = {
      {"xl/styles.xml",
       "<styleSheet><fonts><font/></fonts><fills><fill/></fills><cellXfs><xf/>"
       "</cellXfs></styleSheet>"}};
  for (std::size_t i = 1; i <= sheets.size(); ++i) {
    const std::string n = std::to_string(i);
    book +=
        "<sheet name=\"" + sheets[i - 1].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n + "\" Type=\"x/worksheet\" Target=\"worksheets/sheet" + n +
            ".xml\"/>";
    parts.push_back({"xl/worksheets/sheet" + n + ".xml",
                     "<worksheet>" + sheets[i - 1].second + "</worksheet>"});
  }
  parts.push_back({"xl/workbook.xml",
                   "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                   "relationships\"><sheets>" +
                       book + "</sheets></workbook>"});
  parts.push_back(
      {"xl/_rels/workbook.xml.rels",
       "<Relationships>" + rels +
           "<Relationship Id=\"rIdS\" Type=\"x/styles\" Target=\"styles.xml\"/></Relationships>"});
  parts.push_back({"[Content_Types].xml", "<Types>" + types + "</Types>"});
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, nullptr);
  zip_source_keep(buffer);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, nullptr);
  for (const auto& [name, data] : parts)
    zip_file_add(archive, name.c_str(), zip_source_buffer(archive, data.data(), data.size(), 0), 0);
  std::string bytes(1 << 16, '\0');
  zip_close(archive);
  zip_source_open(buffer);
  bytes.resize(static_cast<std::size_t>(zip_source_read(buffer, bytes.data(), bytes.size())));
  zip_source_close(buffer);
  zip_source_free(buffer);
  return bytes;
}
std::string utf16(std::u16string_view text, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(big_endian ? c >> 8 : c & 0xFF);
    bytes += static_cast<char>(big_endian ? c & 0xFF : c >> 8);
  }
  return bytes;
}

// Lists as people keep them, read by the batch and opened for --update; the results written
// into a copy go under the header, on the list's sheet, and read back.
TEST(ListInput, CarelessListsAreReadAsTheirOwnersMeantThem) {
  using V = std::vector<std::string>;
  const std::string title = row(1, {"2024年产品执行标准清单"});
  const std::string listed = "<sheetData>" + title + row(2, {"序号", "产品", "标准号"}) +
                             row(3, {"1", "酱油", "GB 2717-2018"}) +
                             row(4, {"2", "醋", "GB 2719-2018"}) +
                             "</sheetData><mergeCells><mergeCell ref=\"A1:C1\"/></mergeCells>";
  const std::string notes =
      "<sheetData>" + row(1, {"请勿修改"}) + row(2, {"2024-01-01"}) + "</sheetData>";
  const V two = {"GB 2717-2018", "GB 2719-2018"}, bare = {"GB 2760-2014", "GB 2762-2017"};
  const std::string headerless =
                        "<sheetData>" + row(1, {bare[0]}) + row(2, {bare[1]}) + "</sheetData>",
                    add = "add a header row", neither = "neither UTF-8, GBK", text = "--update go";
  // Rows and cells without references (the next one), a rich-text number with a phonetic run, a
  // row far below the others: read alike by the batch and the update.
  const auto bare_cell = [](const std::string& value) {
    return "<c t=\"inlineStr\"><is><t>" + value + "</t></is></c>";
  };
  const std::string unreferenced = "<sheetData>" + title + "<row>" + bare_cell("标准号") +
                                   bare_cell("产品") + "</row><row>" + bare_cell(two[0]) +
                                   bare_cell("酱油") + "</row><row>" + bare_cell(two[1]) +
                                   bare_cell("醋") + "</row></sheetData>",
                    runs = "<sheetData>" + title + row(2, {"标准号"}) +
                           "<row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is><r><t>GB 2717</t></r><r>"
                           "<t>-2018</t></r><rPh><t>x</t></rPh></is></c></row>" +
                           row(900, {two[1]}) + "</sheetData>";
  struct Case {
    std::string name, bytes, column, sheet;
    V numbers;
    std::string error, update_error;                // a part of the message; "" none
    std::string part = "xl/worksheets/sheet1.xml";  // where the results go
  } cases[] = {
      {"title.xlsx", workbook({{"清单", listed}}), "", "", two, "", ""},
      {"title-c.xlsx", workbook({{"清单", listed}}), "C", "", two, "", ""},
      {"notes.xlsx", workbook({{"说明", notes}, {"清单", listed}}), "", "", two, "", "", kSheet2},
      {"two.xlsx", workbook({{"A", listed}, {"B", listed}}), "", "", {}, "--sheet", "--sheet"},
      {"by-name.xlsx", workbook({{"A", notes}, {"B", listed}}), "", "B", two, "", "", kSheet2},
      {"by-place.xlsm", workbook({{"A", listed}, {"B", listed}}), "", "2", two, "", "", kSheet2},
      {"no-header.xlsx", workbook({{"S", headerless}}), "", "", bare, "", add},
      {"zip.txt", workbook({{"清单", listed}}), "", "", two, "", ""},
      {"unreferenced.xlsx", workbook({{"S", unreferenced}}), "", "", two, "", ""},
      {"runs.xlsx", workbook({{"S", runs}}), "", "", two, "", ""},
      {"no-header.csv", "GB 2760-2014\r\nGB 2762-2017\r\n", "", "", bare, "", add},
      {"zhixing.csv", "产品,执行标准\n酱油,GB 2717-2018\n", "", "", {two[0]}, "", ""},
      {"untitled.csv", "清单,,\n编号,名称\nGB 2717-2018,酱油\n", "", "", {two[0]}, "", ""},
      {"le.csv", utf16(u"标准号,备注\r\nGB 2760-2014,甲\r\n", false), "", "", {bare[0]}, "", ""},
      {"be.csv", utf16(u"标准号\nGB 2760-2014\n", true), "", "", {bare[0]}, "", ""},
      {"be.txt", utf16(u"GB 2760-2014\r\n", true), "", "", {bare[0]}, "", text},
      {"xuhao.csv", "序号,产品\n1,酱油\n", "", "", {}, "\"序号\", \"产品\"", "\"序号\", \"产品\""},
      {"bad.csv", "标准号\nGB \x80\x80 1\n", "", "", {}, neither, neither},
      {"bad.txt", "GB \xFF\xFF 1\n", "", "", {}, neither, text},
      {"nul.txt", std::string("G\0B\0 \0001\0", 8), "", "", {}, "NUL", text},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = test::native_text(dir.write(c.name, c.bytes));
    const ListKind kind = list_kind(path, c.bytes);
    NumberList read;
    std::string error;
    if (kind == ListKind::text) {
      const auto input = batch_input_of(c.bytes);
      error = input.error();
      if (input.ok())
        for (const GivenLine& line : input->lines) read.numbers.push_back(line.shown);
    } else {
      const auto numbers = read_list_numbers(c.bytes, kind, c.column, c.sheet);
      error = numbers.error();
      if (numbers.ok()) read = *numbers;
    }
    EXPECT_EQ(read.numbers, c.numbers);
    const auto says = [](const std::string& message, const std::string& part) {
      return part.empty() ? message.empty() : message.find(part) != std::string::npos;
    };
    EXPECT_TRUE(says(error, c.error)) << error;

    OpenedList opened = open_user_list(path, c.column, c.sheet);
    EXPECT_TRUE(says(opened.error(), c.update_error)) << opened.error();
    if (!opened.ok()) continue;
    std::vector<std::optional<ResultValues>> results;
    V lines;
    for (const UserListLine& line : (*opened)->lines()) {
      lines.push_back(line.number);
      results.push_back(ResultValues{"名称 " + line.number, "2020-01-01", "现行", "2026-12-09"});
    }
    EXPECT_EQ(lines, c.numbers);
    const std::string out = test::native_text(dir.path() / ("out-" + c.name));
    EXPECT_EQ((*opened)->write(results, out).error(), "");
    const OpenedList again = open_user_list(out, c.column, c.sheet);
    if (!again.ok() || (*again)->lines().size() != results.size()) {
      ADD_FAILURE() << "read back: " << again.error();
      continue;
    }
    for (std::size_t i = 0; i < results.size(); ++i)
      EXPECT_EQ((*again)->lines()[i].before.chinese_name, results[i]->chinese_name);
    std::ifstream written(out, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(written), {}};
    EXPECT_EQ(bytes.substr(0, 2), c.bytes.substr(0, 2));  // a UTF-16 list keeps its mark
    if (kind != ListKind::workbook) continue;
    const auto part = [&](const std::string& of, const std::string& name) {
      const auto zip = open_archive(of);
      const auto content = zip.ok() ? read_part(zip->get(), name, 1 << 20) : zip.failed();
      return content.ok() ? *content : std::string();
    };
    // The title row and the other sheets stay as they were.
    EXPECT_NE(part(bytes, c.part).find(title), std::string::npos);
    for (const char* other : {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"}) {
      EXPECT_EQ(part(bytes, other) == part(c.bytes, other), other != c.part) << other;
    }
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
}  // namespace stdlookup::lists
