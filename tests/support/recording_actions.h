// Test doubles for the event table: actions that record which of them ran, and a guard that
// puts the real thread starter back.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/events.h"
#include "runtime/system.h"

namespace stdlookup::test {

// The button actions record their own name; the batch body records the controls it was given
// and the thread it ran on; themed drawing records its style.
struct RecordingActions {
  std::vector<std::string> ran;
  std::vector<int> styles;
  std::atomic<Controls*> batch_controls{nullptr};
  std::atomic<std::thread::id> batch_thread{};
  std::atomic<int> batch_runs{0};

  Actions actions() {
    Actions a;
    auto record = [this](std::string name) {
      return [this, name](Controls&) { ran.push_back(name); };
    };
    a.single_query = record("single_query");
    a.open_detail_page = record("open_detail_page");
    a.export_to_workbook = record("export_to_workbook");
    a.download_search = record("download_search");
    a.open_download_link = record("open_download_link");
    a.batch_query = [this](Controls& c) {
      batch_thread = std::this_thread::get_id();
      batch_controls = &c;
      ++batch_runs;  // last: a waiter that sees the count sees the rest
    };
    a.themed_drawing = [this](int style) { styles.push_back(style); };
    return a;
  }
};

class ThreadStarterGuard {
 public:
  ~ThreadStarterGuard() { set_thread_starter({}); }
};

}  // namespace stdlookup::test
