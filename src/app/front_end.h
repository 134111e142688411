// What every window front end does alike, so that the Qt and the Win32 window differ only in
// their toolkit's calls: clicks counted as actions in progress, what closing the window does,
// which button Enter clicks, the batch progress bar, and the skeleton of a request of the GUI
// thread.
#pragma once

#include <functional>
#include <string_view>

#include "app/events.h"

namespace stdlookup {

// Runs what a click on `control` is bound to (the event table), counted as an action in
// progress while it runs; a disabled control takes no click. A close the window system asked
// for meanwhile is carried out by `close_window` once the outermost action has returned.
void click_control(const Actions& actions, Controls& controls, std::string_view control,
                   const std::function<void()>& close_window);

// The window system asks the window to close. During a request of the GUI thread the program
// ends at once with exit code 0 (a request can hang for minutes); a batch thread ends with the
// process. During any other click's action (the export's pass over the list) the close waits
// for that action to finish, so no half-written export is dropped: false, the window stays.
// Otherwise true: the window closes as usual, which ends the message loop.
bool close_requested();

// The button that Enter in `control` clicks, or an empty name: Enter in the number box runs the
// query, as in any search field.
std::string_view enter_clicks(std::string_view control);

// The batch progress bar as the logic sees it: the true maximum and position for any count (no
// clamp at 32767), the minimum 0, a position never above the maximum.
class ProgressModel {
 public:
  void set_maximum(int maximum);
  void set_position(int position);
  int maximum() const { return maximum_; }
  int position() const { return position_; }
  // What the toolkit's bar spans: a maximum of 0 shows an empty bar, where a range of 0..0
  // would be the toolkit's busy animation.
  int range() const { return maximum_ > 0 ? maximum_ : 1; }

 private:
  int maximum_ = 100;  // both toolkits' initial range
  int position_ = 0;
};

// A request of the GUI thread: `work` runs on a thread of its own while the GUI thread keeps
// repainting and takes close requests under a wait cursor, and no keyboard or mouse input
// reaches the window. A front end supplies the toolkit's loop.
class BusyLoop {
 public:
  virtual ~BusyLoop() = default;
  // Runs `work` as above, or directly where the toolkit cannot wait (not on the GUI thread, or
  // already inside a request).
  void run(const std::function<void()>& work);
  // Whether the GUI thread is waiting in run().
  static bool busy();

 protected:
  virtual bool can_wait() = 0;
  // Runs the GUI thread's loop, wait cursor on and input dropped, until finish() was called.
  virtual void wait() = 0;
  // On the worker thread, when `work` has returned: ends wait().
  virtual void finish() = 0;
};

}  // namespace stdlookup
