// stdlookup: the window program.
#include "app/qt/start_up.h"
#include "app/window_actions.h"

int main(int argc, char** argv) {
  stdlookup::start_up(argc, argv, stdlookup::window_actions());
}
