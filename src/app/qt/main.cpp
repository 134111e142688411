// stdlookup: the window program.
#include <QTimer>

#include "app/qt/start_up.h"
#include "app/window_actions.h"
#include "app/window_options.h"

int main(int argc, char** argv) {
  if (auto exit_code = stdlookup::window_command_line(argc, argv)) return *exit_code;
  // A settings problem is shown once the window is up, over it (after the paint, not inside it).
  std::string problem = stdlookup::use_window_settings();
  stdlookup::start_up(argc, argv, stdlookup::window_actions(), [problem] {
    if (problem.empty()) return;
    QTimer::singleShot(0, [problem] { stdlookup::report_settings_problem(problem); });
  });
}
