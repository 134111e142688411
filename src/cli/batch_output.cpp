#include "batch_output.h"

#include <cstdio>
#include <filesystem>

#include "cli_platform.h"
#include "emit.h"
#include "export/export.h"
#include "runtime/atomic_file.h"
#include "runtime/gbk.h"
#include "runtime/i18n.h"
#include "runtime/system.h"
#include "runtime/text.h"

namespace stdlookup::cli {

Progress::Progress(int total, bool shown) : total_(total), shown_(shown), start_(clock::now()) {}

void Progress::show(int done, const std::string& current) {
  if (!shown_) return;
  constexpr int kWidth = 24;
  int filled = total_ ? done * kWidth / total_ : kWidth;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '-');
  std::string left = "--:--";
  if (done > 0) {
    double per_line = std::chrono::duration<double>(clock::now() - start_).count() / done;
    int seconds = static_cast<int>(per_line * (total_ - done) + 0.5);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d", seconds / 60, seconds % 60);
    left = buf;
  }
  // TRANSLATORS: the time a run still needs, mm:ss, at the end of the progress line.
  const std::string time_left = tr("剩余 {1}", {left});
  std::fprintf(stderr, "\r\033[K[%s] %d/%d  %s  %s", bar.c_str(), done, total_,
               table_cell(current).c_str(), time_left.c_str());
  std::fflush(stderr);
}

void Progress::finish() {
  if (shown_) std::fputs("\r\033[K", stderr);
}

}  // namespace stdlookup::cli
