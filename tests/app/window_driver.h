// How the end-to-end tests drive a window front end: the real window, its real buttons, and the
// front end's own Controls, which read and write the real controls. Each front end's test
// program defines make_window_driver().
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/events.h"
#include "controls/controls.h"
#include "runtime/window_services.h"

namespace stdlookup::test {

// A modal window that appeared during a click: a message box or the save dialog.
struct Modal {
  bool file_dialog = false;
  std::string text;  // a message box's text, UTF-8
};

// Where a control is, in the window's pixels relative to its layout parent (the client area for
// the window's own controls), and what it shows of its state.
struct Placement {
  int left = 0, top = 0, width = 0, height = 0;
  bool visible = false, focus = false, enabled = false;
};

// How a modal is answered: a message box by its button, the file dialog by typing a name and
// confirming it (nullopt cancels).
struct ModalAnswer {
  MessageBoxButton button = MessageBoxButton::ok;
  std::optional<std::string> file_name;
};

class WindowDriver {
 public:
  virtual ~WindowDriver() = default;

  virtual Controls& controls() = 0;
  virtual void show() = 0;
  // Empties an edit box, then types `utf8` into it key by key.
  virtual void type(std::string_view edit, std::string_view utf8) = 0;
  // Clicks a button as the user does; returns when its action has returned. A disabled button
  // gets the click all the same (as a Win32 BM_CLICK brings it): the window must refuse it.
  virtual void click(std::string_view button) = 0;
  // Processes window events until `done` holds (at most 10 s); returns whether it did.
  virtual bool wait_for(const std::function<bool()>& done) = 0;
  // Runs `tick` on the GUI thread every `milliseconds` until stop_ticks().
  virtual void start_ticks(int milliseconds, std::function<void()> tick) = 0;
  virtual void stop_ticks() = 0;
  // Asks the window to close through the window system, as its close button does.
  virtual void close() = 0;
  // Whether the window shows the wait cursor.
  virtual bool wait_cursor() = 0;
  virtual int progress_position(std::string_view bar) = 0;
  virtual int progress_maximum(std::string_view bar) = 0;
  // nullopt for a layout name without a control of its own (the components).
  virtual std::optional<Placement> placement(std::string_view control) = 0;
  // The client area's size, in the window's pixels.
  virtual Placement client_area() = 0;
  // The window's pixels for a length of the layout's (its DPI scaling, where the toolkit does
  // not scale by itself).
  virtual int scaled(int layout_pixels) = 0;
  // Runs the program's message loop until the window is closed, then ends the program with the
  // loop's exit code, as the window program does.
  [[noreturn]] virtual void run_message_loop() = 0;

  // Every modal seen so far, and how the next ones are answered (default: OK, or cancel).
  std::vector<Modal> modals;
  std::function<ModalAnswer(const Modal&)> answer;

 protected:
  // Records a modal and asks `answer` how to close it.
  ModalAnswer seen(Modal modal) {
    modals.push_back(modal);
    return answer ? answer(modal) : ModalAnswer{};
  }
};

std::unique_ptr<WindowDriver> make_window_driver(Actions actions);

}  // namespace stdlookup::test
