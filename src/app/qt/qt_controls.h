// Controls over the main window's widgets. Every call may come from any thread: off the GUI
// thread it is carried out on the GUI thread by a blocking queued call, so a write has taken
// effect when the call returns (it is painted within a frame). Unknown names and calls that do not
// fit a control's kind do nothing (reads give the empty value).
#pragma once

#include <functional>
#include <map>
#include <string>

#include "app/front_end.h"
#include "app/layout.h"
#include "controls/controls.h"

namespace stdlookup {

class MainWindow;

class QtControls : public Controls {
 public:
  explicit QtControls(MainWindow& window);

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
  CommonDialog& common_dialog(std::string_view name) override;
  void together(const std::function<void()>& writes) override { on_gui_thread(writes); }

  // How long writes from another thread wait to be painted: a frame of a 60 Hz display. Tests
  // lengthen it to tell a held paint from a row's own on a loaded machine.
  static inline int frame_ms = 16;

 private:
  void on_gui_thread(const std::function<void()>& work);
  void hold_repaints();

  MainWindow& window_;
  LayoutDialogs dialogs_;
  std::map<std::string, ProgressModel, std::less<>> progress_;  // GUI thread only
};

}  // namespace stdlookup
