#include <gtest/gtest.h>

#include "input.h"
#include "list_input.h"
#include "runtime/gbk.h"
#include "support/temp_dir.h"
#include "user_list.h"

namespace stdlookup::cli {
namespace {

std::string content_of(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A list before and after, as records; the user's fields are quoted as a user's program might.
struct Shape {
  const char* name;
  std::string column;
  std::vector<std::string> before, after;
  std::vector<std::optional<ResultValues>> results;
  std::vector<std::pair<int, ResultValues>> lines;  // row and values found, in list order
};

const Shape kShapes[] = {
    {"headers present, short and blank records",
     "",
     {"序号,标准号,\"标准名称\",负责人,状态", "1,GB 2760-2014,旧名,\"张三, 李四\",现行",
      "2,\"GB 2761-2017\"", "", "3,GB 9999-2099,\"名 \"\"引号\"\"\",,作废", "4,,,,"},
     {"序号,标准号,\"标准名称\",负责人,状态,实施日期,查询日期",
      "1,GB 2760-2014,食品安全国家标准 食品添加剂使用标准,\"张三, 李四\",作废,2015-05-24,"
      "2026-12-09",
      "2,\"GB 2761-2017\",\"'-x, y\",,查询失败,,2026-12-09", "",
      "3,GB 9999-2099,\"名 \"\"引号\"\"\",,作废,,", "4,,,,,,"},
     {ResultValues{"食品安全国家标准 食品添加剂使用标准", "2015-05-24", "作废", "2026-12-09"},
      ResultValues{"-x, y", "", "查询失败", "2026-12-09"}, std::nullopt},
     {{2, {"旧名", "", "现行", ""}}, {3, {}}, {5, {"名 \"引号\"", "", "作废", ""}}}},
    {"headers absent, numbers by letter",
     "b",
     {"编号,Standard", "A1,GB 1-2020", "A2,\"GB 2-2020, 修改\""},
     {"编号,Standard,标准中文名,实施日期,是否作废,查询日期",
      "A1,GB 1-2020,\"说\"\"明\"\"\",2020-01-01,现行,2026-12-09",
      "A2,\"GB 2-2020, 修改\",'=危险,,抱歉，没找到,2026-12-09"},
     {ResultValues{"说\"明\"", "2020-01-01", "现行", "2026-12-09"},
      ResultValues{"=危险", "", "抱歉，没找到", "2026-12-09"}},
     {{2, {}}, {3, {}}}},
};

// Every shape in every encoding and with either line end, ending with one or not; written into
// the list itself or beside it.
TEST(UserCsv, KeepsTheUsersFieldsEncodingAndLineEndsAndFillsTheResults) {
  test::TempDir dir;
  for (const Shape& shape : kShapes) {
    for (const std::string encoding : {"UTF-8", "UTF-8 with BOM", "GBK"}) {
      for (const std::string end : {"\r\n", "\n"}) {
        for (const bool final_end : {true, false}) {
          const auto file = [&](const std::vector<std::string>& records) {
            std::string text = encoding == "UTF-8 with BOM" ? "\xEF\xBB\xBF" : "";
            for (std::size_t i = 0; i < records.size(); ++i)
              text += records[i] + (i + 1 < records.size() || final_end ? end : "");
            return encoding == "GBK" ? utf8_to_gbk(text) : text;
          };
          SCOPED_TRACE(std::string(shape.name) + ", " + encoding + ", " +
                       (end == "\n" ? "LF" : "CRLF") + (final_end ? "" : ", no last line end"));
          const std::string list = test::native_text(dir.write("list.csv", file(shape.before)));
          const std::string out = final_end ? list : test::native_text(dir.path() / "out.csv");

          OpenedList opened = open_user_csv(list, shape.column);
          ASSERT_TRUE(opened.list) << opened.error;
          const std::string utf8 =
              encoding == "GBK" ? gbk_to_utf8(file(shape.before)) : file(shape.before);
          std::vector<std::string> numbers;
          for (const UserListLine& line : opened.list->lines()) numbers.push_back(line.number);
          EXPECT_EQ(numbers,
                    numbers_of(read_csv_table(utf8, numbers_column(shape.column))).numbers);
          ASSERT_EQ(opened.list->lines().size(), shape.lines.size());
          for (std::size_t i = 0; i < shape.lines.size(); ++i) {
            const UserListLine& line = opened.list->lines()[i];
            const ResultValues& before = shape.lines[i].second;
            EXPECT_EQ(line.row, shape.lines[i].first);
            EXPECT_EQ(std::tie(line.before.chinese_name, line.before.implementation_date,
                               line.before.status, line.before.lookup_date),
                      std::tie(before.chinese_name, before.implementation_date, before.status,
                               before.lookup_date));
          }

          EXPECT_EQ(opened.list->write(shape.results, out), "");
          EXPECT_EQ(content_of(out), file(shape.after));
          EXPECT_EQ(content_of(list), file(out == list ? shape.after : shape.before));
        }
      }
    }
  }
}

TEST(UserCsv, RefusesWhatItCannotWriteFaithfully) {
  test::TempDir dir;
  const std::string gbk = utf8_to_gbk("标准号,状态\r\nGB 1,现行\r\n");
  const std::string list = test::native_text(dir.write("gbk.csv", gbk));
  OpenedList opened = open_user_csv(list, "");
  ASSERT_TRUE(opened.list) << opened.error;
  // A character GBK cannot hold is not written as "?".
  EXPECT_NE(opened.list->write({ResultValues{"名 😀", "", "现行", "2026-12-09"}}, list), "");
  EXPECT_EQ(content_of(list), gbk);
  // Nor is a list that was saved again since it was read overwritten.
  dir.write("gbk.csv", gbk + "GB 2\r\n");
  EXPECT_NE(opened.list->write({ResultValues{"名", "", "现行", "2026-12-09"}}, list), "");
  EXPECT_EQ(content_of(list), gbk + "GB 2\r\n");

  const std::string mixed =
      test::native_text(dir.write("bom.csv", "\xEF\xBB\xBF标准号\n\xB1\xEA\n"));
  EXPECT_FALSE(open_user_csv(mixed, "").list);
  EXPECT_FALSE(open_user_csv(list, "没有的列").list);
}

}  // namespace
}  // namespace stdlookup::cli
