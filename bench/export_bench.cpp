// The export's writer on the largest list the old progress bar could show: 32,767 rows of four
// Chinese text cells, wall time and peak RSS, against openpyxl writing the same rows.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_util.h"
#include "controls/memory_controls.h"
#include "export/export.h"
#include "runtime/gbk.h"

using namespace stdlookup;

namespace {

constexpr int kRows = 32767;

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

double openpyxl_seconds(const std::filesystem::path& folder) {
  const auto script = folder / "openpyxl_bench.py";
  std::ofstream(script) << R"(import sys, time, openpyxl
rows = int(sys.argv[1])
def cell(r, c):
    if c == 0: return "GB %d-2016" % (1000 + r)
    if c == 1: return "食品安全国家标准 食品中第%d类物质的测定" % r
    if c == 2: return "2017-0%d-1%d" % (1 + r % 9, r % 10)
    return "现行" if r % 3 else "作废"
t0 = time.perf_counter()
wb = openpyxl.Workbook()
ws = wb.active
for j, h in enumerate(["标准号", "标准中文名", "实施日期", "是否作废"]):
    c = ws.cell(row=1, column=j + 1, value=h); c.number_format = "@"
for r in range(rows):
    for j in range(4):
        c = ws.cell(row=r + 2, column=j + 1, value=cell(r, j)); c.number_format = "@"
wb.save(sys.argv[2])
print(time.perf_counter() - t0)
)";
  std::string command = "/usr/bin/python3 " + script.string() + " " + std::to_string(kRows) + " " +
                        (folder / "openpyxl.xlsx").string();
  FILE* pipe = popen(command.c_str(), "r");
  double seconds = -1;
  if (pipe) {
    if (std::fscanf(pipe, "%lf", &seconds) != 1) seconds = -1;
    pclose(pipe);
  }
  return seconds;
}

}  // namespace

int main() {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("stdlookup-export-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);

  MemoryControls controls;
  for (int r = 0; r < kRows; ++r) {
    int row = controls.list_insert_row(kResultList, "");
    for (int c = 0; c < 4; ++c)
      controls.list_set_cell(kResultList, row, c, utf8_to_gbk(cell_text(r, c)));
  }

  auto writer = make_xlsx_workbook_writer();
  const Text path = (folder / "export.xlsx").string();
  SaveResult result;
  double export_s =
      bench::best_of(1, [&] { result = write_list_to_workbook(controls, *writer, path, true); });
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  if (!result.ok()) {
    std::fprintf(stderr, "export failed: %s\n", gbk_to_utf8(result.failure_reason).c_str());
    return 1;
  }
  double openpyxl_s = openpyxl_seconds(folder);
  std::filesystem::remove_all(folder);

  bench::print_figure("export_s", export_s, "s");
  bench::print_figure("export_peak_rss_mb", static_cast<double>(usage.ru_maxrss) / 1024.0, "MB");
  bench::print_figure("openpyxl_s", openpyxl_s, "s");
  bench::print_figure("speedup_vs_openpyxl", openpyxl_s / export_s, "x");
  return openpyxl_s > 0 ? 0 : 1;
}
