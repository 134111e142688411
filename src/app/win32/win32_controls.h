// Controls over the Win32 window's control handles. Every call may come from any thread: off the
// GUI thread it is sent to the window as one private message (SendMessage), so it is carried out
// on the GUI thread and has completed when the call returns. Calls that do not fit a control's
// kind do nothing (reads give the empty value).
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "app/front_end.h"
#include "app/layout.h"
#include "controls/controls.h"

namespace stdlookup {

class Win32Window;

class Win32Controls final : public Controls {
 public:
  // The private message: lParam points at the std::function<void()> to run.
  static constexpr UINT kRunMessage = WM_APP + 1;

  explicit Win32Controls(Win32Window& window);

  Text edit_text(std::string_view name) override;
  void set_edit_text(std::string_view name, std::string_view text) override;
  Text caption(std::string_view name) override;
  void set_caption(std::string_view name, std::string_view text) override;
  bool disabled(std::string_view name) override;
  void set_disabled(std::string_view name, bool disabled) override;
  void set_progress_maximum(std::string_view name, int maximum) override;
  void set_progress_position(std::string_view name, int position) override;
  int list_insert_row(std::string_view name, std::string_view caption) override;
  void list_set_cell(std::string_view name, int row, int column, std::string_view text) override;
  Text list_cell(std::string_view name, int row, int column) override;
  int list_row_count(std::string_view name) override;
  CommonDialog& common_dialog(std::string_view name) override { return dialogs_[name]; }
  // One step on the GUI thread, with the list views' drawing held until the writes are done:
  // a row appears whole, and many rows at once cost one repaint instead of one each.
  void together(const std::function<void()>& writes) override;

  // The true maximum of a progress bar (the control's own range never ends below 1).
  int progress_maximum(std::string_view name);

 private:
  void on_gui_thread(const std::function<void()>& work);
  HWND handle(std::string_view name) const;

  Win32Window& window_;
  LayoutDialogs dialogs_;
  std::map<std::string, ProgressModel, std::less<>> progress_;  // GUI thread only
  int together_depth_ = 0;                                      // GUI thread only
};

}  // namespace stdlookup
