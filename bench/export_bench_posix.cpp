// The export bench where Python runs: peak RSS, and openpyxl writing the same rows.
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "export_bench_platform.h"

double peak_memory_mb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::optional<double> openpyxl_seconds(const std::filesystem::path& folder, int rows) {
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
  std::string command = "/usr/bin/python3 " + script.string() + " " + std::to_string(rows) + " " +
                        (folder / "openpyxl.xlsx").string();
  FILE* pipe = popen(command.c_str(), "r");
  double seconds = -1;
  if (pipe) {
    if (std::fscanf(pipe, "%lf", &seconds) != 1) seconds = -1;
    pclose(pipe);
  }
  return seconds;
}
