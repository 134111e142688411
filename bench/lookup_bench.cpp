// The lookup's own costs: scraping every field from a 200 KB detail page, and what a batch
// line costs beyond its pause and its request, measured in the real window (offscreen) whose
// list and progress bar the batch thread writes through the GUI thread.
#include <stdlib.h>

#include <QApplication>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "app/qt/main_window.h"
#include "app/qt/qt_controls.h"
#include "bench_util.h"
#include "lookup/actions.h"
#include "lookup/hosts.h"
#include "lookup/query_url.h"
#include "lookup/scrape.h"
#include "runtime/gbk.h"
#include "support/fixture_server.h"

using namespace stdlookup;

namespace {

const int kLines = bench::short_run() ? 5 : 200;

// A detail page grown to 200 KB with the markup and Chinese text such pages carry before the
// fields, so every marker and status word is searched through most of it.
std::string big_detail_page() {
  const std::string filler = utf8_to_gbk(
      "<tr><td class=\"nav\"><a href=\"/list.htm?type=1\">食品安全国家标准目录</a></td>"
      "<td>相关标准：食品添加剂使用标准 食品营养强化剂使用标准</td></tr>\r\n");
  const std::string fields = utf8_to_gbk(
      "<td align=\"right\"><span class=\"blue\">标准编号：</span></td>\r\n"
      "      <td colspan=\"2\">GB 2760-2014&nbsp;</td>\r\n"
      "<td align=\"right\"><span class=\"blue\">中文名称：</span></td>\r\n"
      "         <td colspan=\"2\">食品安全国家标准 食品添加剂使用标准</td>\r\n"
      "<td><font color=\"#FF0000\">作废</font>&nbsp;</td>\r\n"
      "<td align=\"right\"><span class=\"blue\">实施日期：</span>2015-05-24&nbsp;</td>\r\n"
      "<td align=\"right\"><span class=\"blue\">发布部门：</span></td>\r\n"
      "      <td>中华人民共和国国家卫生和计划生育委员会&nbsp;</td>\r\n");
  std::string page;
  while (page.size() + fields.size() < 200 * 1024) page += filler;
  return page + fields;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  char scratch[] = "/tmp/stdlookup-bench-XXXXXX";
  if (mkdtemp(scratch) == nullptr) return 1;
  setenv("XDG_DATA_HOME", scratch, 1);  // the batch clears the cookie store: not the user's
  setenv("QT_QPA_PLATFORM", "offscreen", 0);

  const std::string page = big_detail_page();
  DetailPage scraped;
  const int scrapes = bench::short_run() ? 20 : 2000;
  double scrape_s = bench::best_of(bench::short_run() ? 1 : 3, [&] {
    for (int i = 0; i < scrapes; ++i) scraped = scrape_detail_page(page);
  });
  if (gbk_to_utf8(scraped.fields.number) != "GB 2760-2014" || !scraped.abolished) return 1;

  QApplication app(argc, argv);
  test::FixtureServer server;
  test::CannedResponse response;
  response.body = page.substr(page.size() - 30 * 1024);  // a detail page of ordinary size
  server.serve("/gbquery.htm", response);
  set_query_host("127.0.0.1:" + std::to_string(server.port()));

  // The requests alone, as the batch makes them.
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kLines; ++i) fetch_page(query_url("GB " + std::to_string(i)));
  const double requests_s = seconds_since(start);

  // The same lines through the batch, writing into the real window.
  MainWindow window{Actions{}};
  window.show();
  Text lines;
  for (int i = 0; i < kLines; ++i) lines += "GB " + std::to_string(i) + "\r\n";
  window.controls().set_edit_text(kBatchInput, lines);
  double batch_s = 0;
  std::thread worker([&] {
    auto t0 = std::chrono::steady_clock::now();
    BatchOptions options;
    options.pause_ms = 0;  // the bench only: the pause is not the batch's own cost
    batch_query(window.controls(), options);
    batch_s = seconds_since(t0);
    QMetaObject::invokeMethod(&app, &QApplication::quit, Qt::QueuedConnection);
  });
  app.exec();
  worker.join();
  if (window.controls().list_row_count(kResultList) != kLines) return 1;

  bench::print_figure("scrape_us", scrape_s / scrapes * 1e6, "us");
  bench::print_figure("batch_overhead_ms", (batch_s - requests_s) / kLines * 1e3, "ms");
  std::filesystem::remove_all(scratch);
  return 0;
}
