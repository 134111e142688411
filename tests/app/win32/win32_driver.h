// The Win32 window under test: the real window with its presenter, driven as a user would.
#pragma once

#include <windows.h>

#include <string>

#include "app/win32/win32_presenter.h"
#include "app/win32/win32_window.h"
#include "app/window_driver.h"

namespace stdlookup::test {

// A window's text and class name, as UTF-8 and as the system spells it.
std::string text_of(HWND window);
std::wstring class_of(HWND window);

class Win32Driver final : public WindowDriver {
 public:
  explicit Win32Driver(Actions actions);
  ~Win32Driver() override;

  Controls& controls() override;
  void show() override;
  void type(std::string_view edit, std::string_view utf8) override;
  void click(std::string_view button) override;
  bool wait_for(const std::function<bool()>& done) override;
  void start_ticks(int milliseconds, std::function<void()> tick) override;
  void stop_ticks() override;
  void close() override;
  bool wait_cursor() override;
  int progress_position(std::string_view bar) override;
  int progress_maximum(std::string_view bar) override;
  std::optional<Placement> placement(std::string_view control) override;
  Placement client_area() override;
  int scaled(int layout_pixels) override;
  [[noreturn]] void run_message_loop() override;

  Win32Window& window() { return window_; }
  // A key pressed in `target`, dispatched as the message loop does (dialog keys, translation).
  void press(HWND target, UINT key);
  void answer_modal();

 private:
  Win32Window window_;
  Win32Presenter presenter_;
  Presenter* previous_presenter_ = nullptr;
  UINT_PTR modal_watch_ = 0;
  UINT_PTR ticks_ = 0;
  bool answering_ = false;
};

}  // namespace stdlookup::test
