// stdlookup.exe: the window program on Windows.
#include <windows.h>

#include <cstdio>

#include "app/win32/dialog_presenter.h"
#include "app/win32/start_up.h"
#include "app/window_actions.h"
#include "app/window_options.h"

namespace {

// A GUI program has no console of its own: --help and --version print to the one it was started
// from, if any.
void use_parent_console() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE) return;
  if (AttachConsole(ATTACH_PARENT_PROCESS)) std::freopen("CONOUT$", "w", stdout);
}

}  // namespace

int main(int argc, char** argv) {
  use_parent_console();
  if (auto exit_code = stdlookup::window_command_line(argc, argv)) return *exit_code;
  stdlookup::set_presenter(&stdlookup::windows_dialog_presenter());
  std::string problem = stdlookup::use_window_settings();
  stdlookup::start_up(stdlookup::window_actions(),
                      [problem] { stdlookup::report_settings_problem(problem); });
}
