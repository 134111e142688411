// Throughput of the character-stepping search against glibc memmem on a 1 MiB GBK page whose
// sought marker sits near its end.
#include <cstring>
#include <string>

#include "bench_util.h"
#include "runtime/gbk.h"
#include "runtime/text.h"
#include "web/text_utils.h"

using namespace stdlookup;

namespace {

// An HTML-like page: markup and Chinese text in GBK, ~1 MiB, the marker at the end.
std::string make_page(const std::string& marker) {
  const std::string row = utf8_to_gbk(
      "<tr><td align=\"right\"><span class=\"blue\">标准名称：</span></td>"
      "<td colspan=\"2\">食品安全国家标准 食品添加剂使用标准 GB 2760&nbsp;</td></tr>\r\n");
  std::string page;
  while (page.size() + row.size() < (1u << 20) - 512) page += row;
  page += marker + "GB 2760-2014&nbsp;</td>";
  return page;
}

}  // namespace

int main() {
  const std::string marker = utf8_to_gbk("标准编号：</span></td>\r\n      <td colspan=\"2\">");
  const std::string page = make_page(marker);
  const double mb = static_cast<double>(page.size()) / (1024.0 * 1024.0);
  const int rounds = bench::short_run() ? 1 : 200;

  volatile int sink = 0;
  double find_s = bench::best_of(rounds, [&] { sink = sink + find_text(page, marker); });
  double between_s = bench::best_of(rounds, [&] {
    sink = sink + static_cast<int>(text_between(page, marker, "&nbsp;</td>").size());
  });
  double memmem_s = bench::best_of(rounds, [&] {
    const void* hit = memmem(page.data(), page.size(), marker.data(), marker.size());
    sink = sink + (hit != nullptr);
  });

  if (find_text(page, marker) == -1 ||
      text_between(page, marker, "&nbsp;</td>") != "GB 2760-2014") {
    std::fprintf(stderr, "the marker was not found: the bench page is wrong\n");
    return 1;
  }
  bench::print_figure("find_text_mb_per_s", mb / find_s, "MB/s");
  bench::print_figure("text_between_mb_per_s", mb / between_s, "MB/s");
  bench::print_figure("memmem_mb_per_s", mb / memmem_s, "MB/s");
  bench::print_figure("find_text_vs_memmem", memmem_s / find_s, "ratio");
  return 0;
}
