// The longest list the old progress bar could count, for the export tests of every front end:
// each row its own number, name, date and status, and a check of a workbook read back cell by
// cell (header and rows, every cell a text cell of format "@").
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace stdlookup::test {

inline constexpr int kLongListRows = 32767;

// Row i (0-based) as the list shows it, UTF-8.
inline std::vector<std::string> long_list_row(int i) {
  return {"GB " + std::to_string(10000 + i) + "-2016",
          "食品中第" + std::to_string(i) + "类物质的测定",
          "2017-0" + std::to_string(1 + i % 9) + "-1" + std::to_string(i % 10),
          i % 3 ? "现行" : "作废"};
}

// What differs between `book` (as read_workbook gives it) and the header plus the first `rows`
// rows of the long list: "" when nothing does, else the first few differences.
inline std::string long_list_differences(const nlohmann::json& book, int rows) {
  if (book.contains("error")) return book["error"].dump();
  std::string differences;
  int count = 0;
  const auto differ = [&](const std::string& what) {
    if (++count <= 5) differences += what + "\n";
  };
  if (book["max_row"] != rows + 1 || book["max_column"] != 4) {
    differ("size " + book["max_row"].dump() + " x " + book["max_column"].dump());
  }
  for (int i = -1; i < rows; ++i) {
    const std::vector<std::string> expected =
        i < 0 ? std::vector<std::string>{"标准号", "标准中文名", "实施日期", "是否作废"}
              : long_list_row(i);
    for (int c = 0; c < 4; ++c) {
      const std::string ref = std::string(1, static_cast<char>('A' + c)) + std::to_string(i + 2);
      const nlohmann::json& cell = book["cells"].contains(ref) ? book["cells"][ref] : nullptr;
      if (cell.is_null() || cell["value"] != expected[static_cast<std::size_t>(c)] ||
          cell["type"] != "s" || cell["format"] != "@") {
        differ(ref + ": " + cell.dump());
      }
    }
  }
  if (count > 5) differences += std::to_string(count) + " differences in all\n";
  return differences;
}

}  // namespace stdlookup::test
