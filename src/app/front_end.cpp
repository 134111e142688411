#include "app/front_end.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "runtime/system.h"

namespace stdlookup {
namespace {

std::atomic<int> acting{0};
std::atomic<bool> gui_busy{false};
bool close_waiting = false;  // GUI thread only

}  // namespace

void click_control(const Actions& actions, Controls& controls, std::string_view control,
                   const std::function<void()>& close_window) {
  // A disabled button takes no click, however it is sent (a Win32 BM_CLICK still arrives).
  if (controls.disabled(control)) return;
  ++acting;
  handle_event(actions, controls, control);
  if (--acting == 0 && close_waiting) {
    close_waiting = false;
    if (close_window) close_window();
  }
}

bool close_requested() {
  if (gui_busy) end_process(0);
  if (acting == 0) return true;
  close_waiting = true;
  return false;
}

std::string_view enter_clicks(std::string_view control) {
  return control == kNumberInput ? kQueryButton : std::string_view{};
}

void ProgressModel::set_maximum(int maximum) {
  maximum_ = std::max(maximum, 0);
  position_ = std::min(position_, maximum_);
}

void ProgressModel::set_position(int position) {
  position_ = std::clamp(position, 0, maximum_);
}

void BusyLoop::run(const std::function<void()>& work) {
  if (gui_busy || !can_wait()) {
    work();
    return;
  }
  std::thread worker([&] {
    work();
    finish();
  });
  gui_busy = true;
  wait();
  gui_busy = false;
  worker.join();
}

bool BusyLoop::busy() {
  return gui_busy;
}

}  // namespace stdlookup
