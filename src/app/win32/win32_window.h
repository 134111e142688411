// The main window as a Win32 window, built from the layout table: one standard control per
// layout entry, at the table's pixel positions (scaled by the window's DPI), in a client area of
// the layout's size. Button clicks go through the event table.
//
// Every control is a child of the main window itself, placed at its group box's position plus
// its own: a group box as parent would swallow its buttons' notifications.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "app/events.h"

namespace stdlookup {

class Win32Controls;

class Win32Window {
 public:
  static constexpr const wchar_t* kClassName = L"stdlookup.MainWindow";

  // Creates the window and its controls, hidden; the window's creation event (themed drawing)
  // runs at the end. valid() tells whether the window could be created.
  explicit Win32Window(Actions actions);
  ~Win32Window();
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  bool valid() const { return window_ != nullptr; }
  HWND handle() const { return window_; }
  // The handle of a layout control, or nullptr (components have none).
  HWND control(std::string_view name) const;
  Win32Controls& controls() { return *controls_; }
  // The window's DPI (96 is 100 %).
  int dpi() const { return dpi_; }

  // Runs the message loop until the window is destroyed; returns the exit code.
  int run_message_loop();
  // Dispatches one message, with the dialog keys (Tab, Enter) of the window.
  void dispatch(MSG& message);

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT handle_message(UINT message, WPARAM w, LPARAM l);
  void build();
  void place_controls();
  void click(std::string_view name);
  void apply_theme(int style);

  Actions actions_;
  HWND window_ = nullptr;
  int dpi_ = 96;
  HFONT font_ = nullptr;
  HBRUSH status_brush_ = nullptr;
  std::map<std::string, HWND, std::less<>> handles_;
  std::unique_ptr<Win32Controls> controls_;
};

}  // namespace stdlookup
