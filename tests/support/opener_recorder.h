// Records what the program would have handed to the desktop opener; nothing reaches a real
// browser or application while it lives.
#pragma once

#include <vector>

#include "runtime/window_services.h"

namespace stdlookup::test {

class OpenerRecorder {
 public:
  OpenerRecorder() {
    set_shell_opener([this](const Text& target) {
      opened.push_back(target);
      return true;
    });
  }
  ~OpenerRecorder() { set_shell_opener({}); }
  OpenerRecorder(const OpenerRecorder&) = delete;
  OpenerRecorder& operator=(const OpenerRecorder&) = delete;

  std::vector<Text> opened;
};

}  // namespace stdlookup::test
