// The user's own workbook updated: made by two producers (tests/support/make-user-workbooks), read
// back with our Python-free reader.
#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "lists/user_list.h"
#include "support/temp_dir.h"
#include "support/workbook_reader.h"

namespace stdlookup::lists {
namespace {

namespace fs = std::filesystem;
using Values = ResultValues;

constexpr const char* kSheet = "xl/worksheets/sheet1.xml";
constexpr const char* kHighlight = "FFFFFF99";

// The sheet outside its cells, rows' cells and widths: what the update must leave as it was.
std::string sheet_outside_cells(std::string xml) {
  for (const auto& [open, close] :
       {std::pair<std::string, std::string>{"<sheetData", "</sheetData>"},
        {"<cols>", "</cols>"},
        {"<dimension", "/>"}}) {
    const std::size_t begin = xml.find(open);
    if (begin != std::string::npos) xml.erase(begin, xml.find(close, begin) + close.size() - begin);
  }
  return xml;
}

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

using PartEdits = std::map<std::string, std::function<void(std::string&)>>;

// A copy of `source` at `target` with parts edited (a missing one starts empty).
void with_parts(const fs::path& source, const fs::path& target, const PartEdits& edits) {
  fs::copy_file(source, target, fs::copy_options::overwrite_existing);
  std::map<std::string, std::string> parts = test::read_package(test::native_text(source));
  int error = 0;
  zip_t* archive = zip_open(test::native_text(target).c_str(), 0, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, edit] : edits) {
    std::string& part = parts[name];
    edit(part);
    zip_source_t* content = zip_source_buffer(archive, part.data(), part.size(), 0);
    zip_file_add(archive, name.c_str(), content, ZIP_FL_OVERWRITE);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

void with_part(const fs::path& source, const fs::path& target, const std::string& name,
               const std::function<void(std::string&)>& edit) {
  with_parts(source, target, {{name, edit}});
}

void replace(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

TEST(UserWorkbook, ResultsGoIntoTheirCellsAndEverythingElseStays) {
  const std::string today = "2026-12-09";
  // What the sheets hold (the same from both producers), and the results written.
  struct Line {
    std::string number;
    int row;
    Values before;
    std::optional<Values> result;
  };
  const std::vector<Line> all_lines = {
      {"GB 2760-2014",
       2,
       {"食品安全国家标准 食品添加剂使用标准", "2015-05-24", "", ""},
       Values{"食品安全国家标准 食品添加剂使用标准", "2015-05-24", "现行", today}},
      {"GB 2762-2017",
       3,
       {"旧的名称", "2017-09-17", "", ""},  // a date cell, kept as it is
       Values{"食品安全国家标准 食品中污染物限量", "2017-09-17", "作废", today}},
      {"GB 5009.3-2016", 4, {"", "", "", ""}, std::nullopt},
      {"GB 14880-2012",
       5,
       {"", "", "", ""},  // a formula, replaced by its value
       Values{"公式名称", "2013-01-01", "现行", today}},
      {"GB/T 191-2008",
       7,
       {"包装储运图示标志", "2008-10-01", "", ""},
       Values{"包装储运图示标志", "2008-10-01", "现行", today}},
      {"GB 9999-2099", 8, {"", "", "", ""}, Values{"", "", "抱歉，没找到", today}},
  };
  const auto fields = [](const Values& v) {
    return std::array<std::string, 4>{v.chinese_name, v.implementation_date, v.status,
                                      v.lookup_date};
  };
  struct Case {
    const char* file;
    bool in_place;
    const char* formula_value;  // openpyxl leaves a formula without a value
  };
  for (const Case& c :
       {Case{"user_openpyxl.xlsx", true, ""}, Case{"user_libreoffice.xlsx", false, "公式名称"}}) {
    SCOPED_TRACE(c.file);
    std::vector<Line> lines = all_lines;
    lines[3].before.chinese_name = c.formula_value;
    test::TempDir dir;
    const fs::path list = dir.path() / "清单.xlsx", out = dir.path() / "out.xlsx";
    fs::copy_file(fs::path(STDLOOKUP_TEST_DATA_DIR) / c.file, list);
    const fs::path& updated = c.in_place ? list : out;
    const std::string original = read_bytes(list);

    OpenedList opened = open_user_workbook(test::native_text(list), "");
    ASSERT_EQ(opened.error(), "");
    ASSERT_EQ((*opened)->lines().size(), lines.size());
    std::vector<std::optional<Values>> results;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const UserListLine& line = (*opened)->lines()[i];
      EXPECT_EQ(line.number, lines[i].number);
      EXPECT_EQ(line.row, lines[i].row);
      EXPECT_EQ(fields(line.before), fields(lines[i].before)) << line.number;
      results.push_back(lines[i].result);
    }
    ASSERT_EQ((*opened)->write(results, test::native_text(updated)).error(), "");
    if (!c.in_place) {
      EXPECT_EQ(read_bytes(list), original);
    }

    // Read back: the lines now hold the results, or what they held.
    OpenedList again = open_user_workbook(test::native_text(updated), "");
    ASSERT_EQ(again.error(), "");
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(fields((*again)->lines()[i].before),
                fields(lines[i].result.value_or(lines[i].before)))
          << lines[i].number;
    }

    // Only the first sheet and the styles changed; every other part is byte for byte the same.
    auto before = test::read_package(test::native_text(fs::path(STDLOOKUP_TEST_DATA_DIR) / c.file));
    auto after = test::read_package(test::native_text(updated));
    std::set<std::string> changed, names_before, names_after;
    for (const auto& [name, content] : before) {
      names_before.insert(name);
      if (after.count(name) && after[name] != content) changed.insert(name);
    }
    for (const auto& [name, content] : after) names_after.insert(name);
    EXPECT_EQ(names_after, names_before);
    EXPECT_EQ(changed, (std::set<std::string>{kSheet, "xl/styles.xml"}));
    EXPECT_EQ(sheet_outside_cells(after[kSheet]), sheet_outside_cells(before[kSheet]));

    // The result columns: found by header (C, E) or appended after the last used column.
    const nlohmann::json cells = test::read_workbook_xml(test::native_text(updated))["cells"];
    const std::array<std::string, 4> columns = {"C", "E", "H", "I"};
    for (const auto& [ref, header] : {std::pair{"H1", "是否作废"}, std::pair{"I1", "查询日期"}})
      EXPECT_EQ(cells[ref]["value"], header);
    std::set<std::string> result_cells = {"H1", "I1"};
    for (const Line& line : lines) {
      if (!line.result) continue;
      const auto before_values = fields(line.before), values = fields(*line.result);
      for (std::size_t kind = 0; kind < 4; ++kind) {
        const std::string ref = columns[kind] + std::to_string(line.row);
        result_cells.insert(ref);
        if (values[kind] != before_values[kind] || kind == 3) {
          EXPECT_EQ(cells[ref]["value"],
                    values[kind].empty() ? nlohmann::json() : nlohmann::json(values[kind]))
              << ref;
        }
        const bool highlighted = kind != 3 && values[kind] != before_values[kind];
        EXPECT_EQ(test::cell_fill(test::native_text(updated), ref) == kHighlight, highlighted)
            << ref;
      }
    }
    // Every other cell, and every row's own attributes, as they were.
    auto cells_before = test::cell_elements(before[kSheet]);
    auto cells_after = test::cell_elements(after[kSheet]);
    for (const std::string& ref : result_cells) cells_before.erase(ref), cells_after.erase(ref);
    EXPECT_EQ(cells_after, cells_before);
  }
}

TEST(UserWorkbook, WhatCannotBeUpdatedFaithfullyIsRefused) {
  const fs::path source = fs::path(STDLOOKUP_TEST_DATA_DIR) / "user_openpyxl.xlsx";
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
    const char* reason;
  };
  const Case cases[] = {
      {"encrypted (an OLE file)",
       [](const fs::path& p) {
         std::ofstream(p, std::ios::binary)
             << std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") + std::string(504, '\0');
       },
       "password"},
      {"not a zip file",
       [](const fs::path& p) { std::ofstream(p, std::ios::binary) << "序号,标准号\n1,GB 1\n"; },
       "not a readable workbook"},
      {"strict Open XML",
       [&](const fs::path& p) {
         with_part(source, p, "xl/workbook.xml", [](std::string& xml) {
           replace(xml, "http://schemas.openxmlformats.org/spreadsheetml/2006/main",
                   "http://purl.oclc.org/ooxml/spreadsheetml/main");
         });
       },
       "Strict"},
      {"a shared formula starting in a result cell",
       [&](const fs::path& p) {
         with_part(source, p, kSheet, [](std::string& xml) {
           replace(xml, "<c r=\"C4\" s=\"2\" t=\"n\"></c>",
                   "<c r=\"C4\" s=\"2\"><f t=\"shared\" ref=\"C4:C5\" si=\"0\">B4</f></c>");
         });
       },
       "shared formula"},
      {"a result cell inside merged cells",
       [&](const fs::path& p) {
         with_part(source, p, kSheet, [](std::string& xml) {
           replace(xml, "<mergeCell ref=\"G3:G4\"/>", "<mergeCell ref=\"B7:C7\"/>");
         });
       },
       "merged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const fs::path list = dir.path() / "list.xlsx";
    c.make(list);
    OpenedList opened = open_user_workbook(test::native_text(list), "");
    EXPECT_FALSE(opened.ok());
    EXPECT_NE(opened.error().find(c.reason), std::string::npos) << opened.error();
  }
}

// As Excel and LibreOffice may write them: a calculation chain naming the formula written over,
// a column range reaching past the appended columns.
TEST(UserWorkbook, CalculationChainAndColumnRangesFollowTheEdit) {
  test::TempDir dir;
  const fs::path list = dir.path() / "list.xlsx";
  const std::string chain = "xl/calcChain.xml";
  with_parts(
      fs::path(STDLOOKUP_TEST_DATA_DIR) / "user_libreoffice.xlsx", list,
      {{chain, [](std::string& xml) { xml = "<calcChain><c r=\"C5\" i=\"1\"/></calcChain>"; }},
       {"xl/_rels/workbook.xml.rels",
        [](std::string& xml) {
          replace(xml, "</Relationships>",
                  "<Relationship Id=\"rIdC\" Type=\"http://schemas.openxmlformats.org/"
                  "officeDocument/2006/relationships/calcChain\" "
                  "Target=\"calcChain.xml\"/></Relationships>");
        }},
       {"[Content_Types].xml",
        [](std::string& xml) {
          replace(xml, "</Types>",
                  "<Override PartName=\"/xl/calcChain.xml\" ContentType=\"application/"
                  "vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml\"/></Types>");
        }},
       {kSheet, [](std::string& xml) {
          replace(xml, "</cols>", "<col max=\"1025\" min=\"4\" style=\"3\" width=\"9\"/></cols>");
        }}});
  OpenedList opened = open_user_workbook(test::native_text(list), "");
  ASSERT_EQ(opened.error(), "");
  std::vector<std::optional<Values>> results((*opened)->lines().size());
  results[3] = Values{"新名称", "", "现行", "2026-12-09"};  // C5 holds a formula
  ASSERT_EQ((*opened)->write(results, test::native_text(list)).error(), "");
  auto parts = test::read_package(test::native_text(list));
  EXPECT_EQ(parts.count(chain), 0u);
  EXPECT_EQ(parts["xl/_rels/workbook.xml.rels"].find("calcChain"), std::string::npos);
  EXPECT_EQ(parts["[Content_Types].xml"].find("calcChain"), std::string::npos);
  const std::string& sheet = parts[kSheet];
  EXPECT_NE(
      sheet.find("<col max=\"7\" min=\"4\" style=\"3\" width=\"9\"/><col min=\"8\" max=\"8\""),
      std::string::npos);
  EXPECT_NE(sheet.find("<col max=\"1025\" min=\"10\" style=\"3\" width=\"9\"/></cols>"),
            std::string::npos);
  EXPECT_EQ(test::read_workbook_xml(test::native_text(list))["cells"]["C5"]["value"], "新名称");
}

// A workbook with a chart, its parts in name order (a re-zipped folder), reversed and rotated, and
// a CSV list; 20,000 characters outside the BMP (40,000 UTF-16 units) cut as the export cuts them.
TEST(UserWorkbook, AnyPartOrderUpdatesAndOverLongResultsAreCut) {
  std::string emoji, cut;
  for (int i = 0; i < 20000; ++i) (i < 16383 ? cut : emoji) += "\xF0\x9F\x98\x80";
  emoji += cut, cut += "…";
  auto parts = test::read_package(
      test::native_text(fs::path(STDLOOKUP_TEST_DATA_DIR) / "user_openpyxl.xlsx"));
  parts["xl/charts/chart1.xml"] = "<c:chartSpace xmlns:c=\"c\"/>";
  std::vector<std::string> names;
  for (const auto& [name, content] : parts) names.push_back(name);
  test::TempDir dir;
  std::vector<fs::path> lists = {dir.write("list.csv", "标准号,备注\nGB 1-2020,x\nGB 2-2020,y\n")};
  for (std::size_t order = 0; order < 4; ++order, std::reverse(names.begin(), names.end())) {
    lists.push_back(dir.path() / ("list" + std::to_string(order) + ".xlsx"));
    int error = 0;
    zip_t* archive = zip_open(test::native_text(lists.back()).c_str(), ZIP_CREATE, &error);
    std::rotate(names.begin(), names.begin() + static_cast<long>(order * 3), names.end());
    for (const std::string& name : names)
      zip_file_add(archive, name.c_str(),
                   zip_source_buffer(archive, parts[name].data(), parts[name].size(), 0), 0);
    ASSERT_EQ(zip_close(archive), 0);
  }
  for (const fs::path& list : lists) {
    SCOPED_TRACE(list.filename().string());
    const auto open = [](const std::string& path, const std::string& column) {
      return open_user_list(path, column, "");
    };
    OpenedList opened = open(test::native_text(list), "");
    ASSERT_EQ(opened.error(), "");
    std::vector<std::optional<Values>> results((*opened)->lines().size(),
                                               Values{emoji, "2020-01-01", "现行", "2026-12-09"});
    for (auto& result : results) EXPECT_TRUE(cut_result_to_cell_limit(*result));
    ASSERT_EQ((*opened)->write(results, test::native_text(list)).error(), "");
    OpenedList again = open(test::native_text(list), "");
    ASSERT_EQ(again.error(), "");
    EXPECT_EQ((*again)->lines()[1].before.chinese_name, cut);  // the chart checked by write()
  }
}

// Each update's yellow cells are its own changes: an earlier one's highlight gives the cell its
// own look back (C3's blue fill), also when its lookup failed (nullptr: the last run), the user's
// own fills are left alone (E7's yellow, as ours was).
TEST(UserWorkbook, EachUpdateHighlightsItsOwnChangesOnly) {
  test::TempDir dir;
  const fs::path list = dir.path() / "list.xlsx";
  with_parts(fs::path(STDLOOKUP_TEST_DATA_DIR) / "user_openpyxl.xlsx", list,
             {{"xl/styles.xml",
               [](std::string& xml) {  // D3's green becomes yellow
                 replace(xml, "rgb=\"FFC6EFCE\"/>", "rgb=\"FFFFFF99\"/><bgColor indexed=\"64\"/>");
               }},
              {kSheet, [](std::string& xml) {
                 replace(xml, "<c r=\"C3\" s=\"2\"", "<c r=\"C3\" s=\"1\"");
                 replace(xml, "<c r=\"E7\" s=\"3\"", "<c r=\"E7\" s=\"4\"");
               }}});
  const auto looks = [&] {  // the result cells' fills and styles (s)
    std::map<std::string, std::pair<std::string, std::string>> found;
    auto cells = test::cell_elements(test::read_package(test::native_text(list))[kSheet]);
    for (const std::string ref : {"C2", "C3", "C4", "C5", "E2", "E7", "H2", "H3", "I2"}) {
      const std::string cell = cells[ref];
      const std::size_t s = std::min(cell.find(" s=\""), cell.size());
      found[ref] = {test::cell_fill(test::native_text(list), ref),
                    cell.substr(s, cell.find('"', s + 4) - s)};
    }
    return found;
  };
  const auto before = looks();
  const std::pair<const char*, std::set<std::string>> runs[] = {
      {"名称", {"C2", "C3", "C4", "C5", "H2", "H3"}},
      {"名称", {}},
      {"新名称", {"C3"}},
      {nullptr, {}}};
  for (const auto& [name, yellow] : runs) {  // the name of the second line, the cells changed
    OpenedList opened = open_user_workbook(test::native_text(list), "");
    ASSERT_EQ(opened.error(), "");
    std::vector<std::optional<Values>> results;
    for (const UserListLine& line : (*opened)->lines())
      results.push_back(Values{"名称", line.before.implementation_date, "现行", "2026-12-09"});
    std::vector<bool> failed(results.size());
    if (name) results[1]->chinese_name = name;
    if (!name) results[1].reset(), failed[1] = true;
    ASSERT_EQ((*opened)->write(results, test::native_text(list), failed).error(), "");
    for (const auto& [ref, look] : looks()) {
      const auto& [fill, style] = before.at(ref);
      EXPECT_EQ(look.first, yellow.count(ref) ? kHighlight : fill) << ref;
      EXPECT_EQ(look.second, yellow.count(ref) || style.empty() ? look.second : style) << ref;
    }
  }
}

TEST(UserWorkbook, AListChangedDuringTheRunIsNotOverwritten) {
  test::TempDir dir;
  const fs::path list = dir.path() / "list.xlsx";
  fs::copy_file(fs::path(STDLOOKUP_TEST_DATA_DIR) / "user_openpyxl.xlsx", list);
  OpenedList opened = open_user_workbook(test::native_text(list), "B");
  ASSERT_EQ(opened.error(), "");
  with_part(fs::path(STDLOOKUP_TEST_DATA_DIR) / "user_openpyxl.xlsx", list, kSheet,
            [](std::string& xml) { replace(xml, "</sheetData>", "<row r=\"20\"/></sheetData>"); });
  const std::string edited = read_bytes(list);
  std::vector<std::optional<Values>> results((*opened)->lines().size(),
                                             Values{"名称", "2020-01-01", "现行", "2026-12-09"});
  EXPECT_NE((*opened)->write(results, test::native_text(list)).error().find("changed"),
            std::string::npos);
  EXPECT_EQ(read_bytes(list), edited);
}

}  // namespace
}  // namespace stdlookup::lists
