// How the actions reach the window: controls addressed by their layout names. The lookup
// actions and the export see only this interface; each window front end implements it over its
// toolkit's controls, MemoryControls in memory (tests).
//
// The contract a front end honours:
// - Control names are the layout's names in UTF-8 (controls/control_names.h); every text that
//   crosses the interface is GBK, and multi-line content uses "\r\n" line breaks.
// - Calls come from any thread: a write from another thread is carried out on the GUI thread and
//   has completed when the call returns. Unknown names and calls that do not fit a control's
//   kind do nothing; reads then give the empty value.
// - A progress bar shows the true maximum and position for any count (app/front_end.h's
//   ProgressModel), never clamped at 32767.
// - Clicks run through click_control, a close request through close_requested, Enter in an edit
//   box clicks enter_clicks' button, and a request of the GUI thread (run_busy) runs in a BusyLoop
//   (all in app/front_end.h), so the windows behave alike.
#pragma once

#include <functional>
#include <string_view>

#include "controls/control_names.h"
#include "runtime/types.h"
#include "runtime/window_services.h"

namespace stdlookup {

class Controls {
 public:
  virtual ~Controls() = default;

  // Edit box content.
  virtual Text edit_text(std::string_view name) = 0;
  virtual void set_edit_text(std::string_view name, std::string_view text) = 0;

  // Caption of a label, button or group box.
  virtual Text caption(std::string_view name) = 0;
  virtual void set_caption(std::string_view name, std::string_view text) = 0;

  virtual bool disabled(std::string_view name) = 0;
  virtual void set_disabled(std::string_view name, bool disabled) = 0;

  // Progress bar. The values are shown as they are: no clamping at 32767.
  virtual void set_progress_maximum(std::string_view name, int maximum) = 0;
  virtual void set_progress_position(std::string_view name, int position) = 0;

  // Report list view: rows and cells by 0-based index. insert_row appends a row whose first
  // cell is `caption` and returns its index.
  virtual int list_insert_row(std::string_view name, std::string_view caption) = 0;
  virtual void list_set_cell(std::string_view name, int row, int column, std::string_view text) = 0;
  virtual Text list_cell(std::string_view name, int row, int column) = 0;  // empty when none
  virtual int list_row_count(std::string_view name) = 0;

  // Carries out `writes` (calls on this interface) as one step on the GUI thread, in order, and
  // returns when they are done: a row of the batch appears whole, and the worker waits for the
  // GUI thread once instead of once per write.
  virtual void together(const std::function<void()>& writes) { writes(); }

  // The common-dialog control's properties (type, filter, flags, confirmed file name); shown
  // with show_common_dialog() of the runtime. Lives as long as the controls.
  virtual CommonDialog& common_dialog(std::string_view name) = 0;
};

}  // namespace stdlookup
