// The export's writer on the largest list the old progress bar could show: 32,767 rows of four
// Chinese text cells, wall time and peak memory, against libxlsxwriter writing the same cells
// with nothing around it (no look, no check, no atomic replacement) and against openpyxl where
// Python runs (Linux). The same program runs on Windows (under Wine here).
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

#include "bench_util.h"
#include "controls/memory_controls.h"
#include "export/export.h"
#include "export_bench_platform.h"
#include "runtime/gbk.h"

using namespace stdlookup;

namespace {

const int kRows = bench::short_run() ? 100 : 32767;
const int kRounds = bench::short_run() ? 1 : 5;

std::string cell_text(int row, int column) {
  switch (column) {
    case 0:
      return "GB " + std::to_string(1000 + row) + "-2016";
    case 1:
      return "食品安全国家标准 食品中第" + std::to_string(row) + "类物质的测定";
    case 2:
      return "2017-0" + std::to_string(1 + row % 9) + "-1" + std::to_string(row % 10);
    default:
      return row % 3 ? "现行" : "作废";
  }
}

// The floor: the same text cells of format "@", written straight to the file.
bool write_raw(const std::filesystem::path& path) {
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  const std::u8string name = path.u8string();
  lxw_workbook* workbook = workbook_new_opt(reinterpret_cast<const char*>(name.c_str()), &options);
  if (!workbook) return false;
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
  lxw_format* text = workbook_add_format(workbook);
  format_set_num_format(text, "@");
  const char* headers[] = {"标准号", "标准中文名", "实施日期", "是否作废"};
  for (lxw_col_t c = 0; c < 4; ++c) worksheet_write_string(sheet, 0, c, headers[c], text);
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < 4; ++c) {
      worksheet_write_string(sheet, static_cast<lxw_row_t>(r + 1), static_cast<lxw_col_t>(c),
                             cell_text(r, c).c_str(), text);
    }
  }
  return workbook_close(workbook) == LXW_NO_ERROR;
}

}  // namespace

int main() {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("stdlookup-export-bench-" + std::to_string(std::random_device()()));
  std::filesystem::create_directories(folder);

  MemoryControls controls;
  for (int r = 0; r < kRows; ++r) {
    int row = controls.list_insert_row(kResultList, "");
    for (int c = 0; c < 4; ++c)
      controls.list_set_cell(kResultList, row, c, utf8_to_gbk(cell_text(r, c)));
  }

  auto writer = make_xlsx_workbook_writer();
  const std::u8string native = (folder / "export.xlsx").u8string();
  const Text path(native.begin(), native.end());
  SaveResult result;
  double export_s =
      bench::best_of(1, [&] { result = write_list_to_workbook(controls, *writer, path, true); });
  const double peak_mb = peak_memory_mb();
  // Then both in turn, the best of several rounds each: the machine may be busy with other work.
  bool raw_ok = true;
  double raw_s = 1e300;
  for (int round = 0; round < kRounds && result.ok(); ++round) {
    raw_s = std::min(raw_s,
                     bench::best_of(1, [&] { raw_ok = write_raw(folder / "raw.xlsx") && raw_ok; }));
    export_s = std::min(export_s, bench::best_of(1, [&] {
                          result = write_list_to_workbook(controls, *writer, path, true);
                        }));
  }
  if (!result.ok()) {
    std::fprintf(stderr, "export failed: %s\n", gbk_to_utf8(result.failure_reason).c_str());
    return 1;
  }
  const std::optional<double> openpyxl_s = openpyxl_seconds(folder, kRows);
  std::filesystem::remove_all(folder);

  bench::print_figure("export_s", export_s, "s");
  bench::print_figure("export_peak_memory_mb", peak_mb, "MB");
  if (!raw_ok) {
    std::fprintf(stderr, "libxlsxwriter alone failed\n");
    return 1;
  }
  bench::print_figure("libxlsxwriter_s", raw_s, "s");
  bench::print_figure("export_vs_libxlsxwriter", export_s / raw_s, "x");
  if (!openpyxl_s) return 0;  // no Python here
  bench::print_figure("openpyxl_s", *openpyxl_s, "s");
  bench::print_figure("speedup_vs_openpyxl", *openpyxl_s / export_s, "x");
  return *openpyxl_s > 0 ? 0 : 1;
}
