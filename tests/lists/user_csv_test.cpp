#include <gtest/gtest.h>

#include "lists/user_list.h"
#include "runtime/gbk.h"
#include "support/temp_dir.h"

namespace stdlookup::lists {
namespace {

std::string content_of(const std::string& path) {  // an ASCII path
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Records before and after; the lines as "row number: values found" (name|date|status|lookup).
struct Shape {
  std::string column;
  std::vector<std::string> before, after;
  std::vector<std::optional<ResultValues>> results;
  std::vector<std::string> lines;
};

const Shape kShapes[] = {
    {"",  // headers present, a short record, a blank one, a line without a result
     {"序号,标准号,\"标准名称\",负责人,状态", "1,GB 2760-2014,旧名,\"张三, 李四\",现行",
      "2,\"GB 2761-2017\"", "", "3,GB 9999-2099,\"名 \"\"引号\"\"\",,作废", "4,,,,"},
     {"序号,标准号,\"标准名称\",负责人,状态,实施日期,查询日期",
      "1,GB 2760-2014,食品安全国家标准,\"张三, 李四\",作废,2015-05-24,2026-12-09",
      "2,\"GB 2761-2017\",\"'-x, y\",,查询失败,,2026-12-09", "",
      "3,GB 9999-2099,\"名 \"\"引号\"\"\",,作废,,", "4,,,,,,"},
     {ResultValues{"食品安全国家标准", "2015-05-24", "作废", "2026-12-09"},
      ResultValues{"-x, y", "", "查询失败", "2026-12-09"}, std::nullopt},
     {"2 GB 2760-2014: 旧名||现行|", "3 GB 2761-2017: |||", "5 GB 9999-2099: 名 \"引号\"||作废|"}},
    {"b",  // no result headers: all four appended
     {"编号,Standard", "A1,GB 1-2020", "A2,\"GB 2-2020, 修改\""},
     {"编号,Standard,标准中文名,实施日期,是否作废,查询日期",
      "A1,GB 1-2020,\"说\"\"明\"\"\",2020-01-01,现行,2026-12-09",
      "A2,\"GB 2-2020, 修改\",'=危险,,抱歉，没找到,2026-12-09"},
     {ResultValues{"说\"明\"", "2020-01-01", "现行", "2026-12-09"},
      ResultValues{"=危险", "", "抱歉，没找到", "2026-12-09"}},
     {"2 GB 1-2020: |||", "3 GB 2-2020, 修改: |||"}},
};

// Each shape in each encoding and line end; written into the list, or beside it.
TEST(UserCsv, KeepsTheUsersFieldsEncodingAndLineEndsAndFillsTheResults) {
  test::TempDir dir;
  for (const Shape& shape : kShapes) {
    for (const std::string encoding : {"UTF-8", "BOM", "GBK"}) {
      for (const auto& [end, last_end] :
           {std::pair<std::string, bool>{"\r\n", true}, {"\n", true}, {"\r\n", false}}) {
        const auto file = [&](const std::vector<std::string>& records) {
          std::string text = encoding == "BOM" ? "\xEF\xBB\xBF" : "";
          for (std::size_t i = 0; i < records.size(); ++i)
            text += records[i] + (i + 1 < records.size() || last_end ? end : "");
          return encoding == "GBK" ? utf8_to_gbk(text) : text;
        };
        SCOPED_TRACE(encoding + (end == "\n" ? " LF" : " CRLF") + (last_end ? "" : " unended"));
        const std::string list = test::native_text(dir.write("list.csv", file(shape.before)));
        const std::string out = last_end ? list : test::native_text(dir.path() / "out.csv");
        OpenedList opened = open_user_csv(list, shape.column);
        ASSERT_TRUE(opened.ok()) << opened.error();
        std::vector<std::string> lines;
        for (const auto& [number, row, v] : (*opened)->lines())
          lines.push_back(std::to_string(row) + " " + number + ": " + v.chinese_name + "|" +
                          v.implementation_date + "|" + v.status + "|" + v.lookup_date);
        EXPECT_EQ(lines, shape.lines);
        EXPECT_EQ((*opened)->write(shape.results, out).error(), "");
        EXPECT_EQ(content_of(out), file(shape.after));
        EXPECT_EQ(content_of(list), file(out == list ? shape.after : shape.before));
      }
    }
  }
}

TEST(UserCsv, RefusesWhatItCannotWriteFaithfully) {
  test::TempDir dir;
  const std::string gbk = utf8_to_gbk("标准号,状态\r\nGB 1,现行\r\n"),
                    list = test::native_text(dir.write("gbk.csv", gbk));
  OpenedList opened = open_user_csv(list, "");
  ASSERT_TRUE(opened.ok()) << opened.error();
  // A character GBK cannot hold is not written as "?"; a list saved again meanwhile is kept.
  EXPECT_NE((*opened)->write({ResultValues{"名 😀", "", "现行", "2026-12-09"}}, list).error(), "");
  EXPECT_EQ(content_of(list), gbk);
  dir.write("gbk.csv", gbk + "GB 2\r\n");
  EXPECT_NE((*opened)->write({ResultValues{"名", "", "现行", "2026-12-09"}}, list).error(), "");
  EXPECT_EQ(content_of(list), gbk + "GB 2\r\n");
}

}  // namespace
}  // namespace stdlookup::lists
