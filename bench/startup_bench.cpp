// Start-up of the window program: from process start to the first paint of the main window
// (offscreen platform), and the peak resident set size of that process.
//
// The bench starts itself again as the child, which runs the program's own start-up with a
// first-paint callback; the parent times the spawn and reads the child's peak RSS from wait4.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/qt/start_up.h"
#include "app/window_actions.h"
#include "bench_util.h"

extern char** environ;

namespace {

long long monotonic_ns() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

[[noreturn]] void run_child(int argc, char** argv) {
  stdlookup::start_up(argc, argv, stdlookup::window_actions(), [] {
    // After the paint pass that drew the window and its controls, report and leave.
    QTimer::singleShot(0, [] {
      std::printf("%lld\n", monotonic_ns());
      std::fflush(stdout);
      QCoreApplication::quit();
    });
  });
}

struct Round {
  double first_paint_ms;
  double peak_rss_mb;
};

bool run_round(const char* self, Round& round) {
  int out[2];
  if (pipe(out) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string child_flag = "--child";
  char* argv[] = {const_cast<char*>(self), child_flag.data(), nullptr};
  const long long started = monotonic_ns();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    return false;
  }
  std::string text;
  char buffer[64];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(out[0]);
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return false;
  }
  const long long painted = std::atoll(text.c_str());
  if (painted <= started) return false;
  round.first_paint_ms = static_cast<double>(painted - started) / 1e6;
  round.peak_rss_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--child") == 0) run_child(1, argv);

  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const bool short_run = stdlookup::bench::short_run();
  const int rounds = short_run ? 1 : 15;
  const int warm_up = short_run ? 0 : 1;  // the first round warms the file cache
  std::vector<Round> results;
  for (int i = 0; i < rounds + warm_up; ++i) {
    Round round{};
    if (!run_round("/proc/self/exe", round)) {
      std::fprintf(stderr, "startup_bench: the child failed\n");
      return 1;
    }
    if (i >= warm_up) results.push_back(round);
  }
  std::vector<double> paint;
  double rss = 0;
  for (const Round& r : results) {
    paint.push_back(r.first_paint_ms);
    rss = std::max(rss, r.peak_rss_mb);
  }
  std::sort(paint.begin(), paint.end());
  std::printf("rounds %d (median first paint; best %.3f ms, worst %.3f ms)\n", rounds,
              paint.front(), paint.back());
  stdlookup::bench::print_figure("first_paint_ms", paint[paint.size() / 2], "ms");
  stdlookup::bench::print_figure("peak_rss_mb", rss, "MB");
  return 0;
}
