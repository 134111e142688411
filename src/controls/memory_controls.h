// Controls held in memory, for tests and benchmarks. A control never written reads as empty; a
// name that is not the window's is a programming error (checked in debug builds). Thread-safe:
// one lock around every call.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "controls/controls.h"

namespace stdlookup {

class MemoryControls : public Controls {
 public:
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

  // For inspection in tests.
  int progress_maximum(std::string_view name);
  int progress_position(std::string_view name);

 private:
  struct Control {
    Text text;  // edit content or caption
    bool disabled = false;
    int maximum = 0;
    int position = 0;
    std::vector<std::vector<Text>> rows;
    CommonDialog dialog;
  };
  Control& control(std::string_view name);  // caller holds mutex_

  std::mutex mutex_;
  std::map<std::string, Control, std::less<>> controls_;
};

}  // namespace stdlookup
