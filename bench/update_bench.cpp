// How long updating a user's own workbook takes: opening it (the lines and what their result
// columns hold) and writing results into every line, changed ones highlighted, checked and
// replaced atomically. Run by hand:
//   update_bench LIST.xlsx [OUT.xlsx]     (OUT defaults to LIST.updated.xlsx beside it)
#include <chrono>
#include <cstdio>
#include <string>

#include "lists/user_list.h"

using stdlookup::lists::ResultValues;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: update_bench LIST.xlsx [OUT.xlsx]\n");
    return 2;
  }
  const std::string list = argv[1];
  const std::string out = argc > 2 ? argv[2] : list + ".updated.xlsx";
  using clock = std::chrono::steady_clock;
  const auto ms = [](clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
  };

  const auto start = clock::now();
  auto opened = stdlookup::lists::open_user_workbook(list, "");
  const auto opened_at = clock::now();
  if (!opened.ok()) {
    std::fprintf(stderr, "cannot update %s: %s\n", list.c_str(), opened.error().c_str());
    return 1;
  }
  // Every other line changes its status, so that half the cells get the highlight.
  std::vector<std::optional<ResultValues>> results;
  for (const auto& line : (*opened)->lines()) {
    ResultValues values = line.before;
    values.chinese_name =
        values.chinese_name.empty() ? "标准名称 " + line.number : values.chinese_name;
    values.status = results.size() % 2 ? "作废" : "现行";
    values.lookup_date = "2026-12-09";
    results.push_back(values);
  }
  const auto written = (*opened)->write(results, out);
  const auto written_at = clock::now();
  if (!written.ok()) {
    std::fprintf(stderr, "cannot write %s: %s\n", out.c_str(), written.error().c_str());
    return 1;
  }
  std::printf("%zu lines: open %.1f ms, write %.1f ms -> %s\n", results.size(),
              ms(opened_at - start), ms(written_at - opened_at), out.c_str());
  return 0;
}
