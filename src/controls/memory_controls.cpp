#include "controls/memory_controls.h"

#include <cassert>

namespace stdlookup {

MemoryControls::Control& MemoryControls::control(std::string_view name) {
  assert(is_control_name(name) && "not a control of the window");
  auto it = controls_.find(name);
  if (it == controls_.end()) it = controls_.emplace(std::string(name), Control{}).first;
  return it->second;
}

Text MemoryControls::edit_text(std::string_view name) {
  std::lock_guard lock(mutex_);
  return control(name).text;
}

void MemoryControls::set_edit_text(std::string_view name, std::string_view text) {
  std::lock_guard lock(mutex_);
  control(name).text = text;
}

Text MemoryControls::caption(std::string_view name) {
  return edit_text(name);
}

void MemoryControls::set_caption(std::string_view name, std::string_view text) {
  set_edit_text(name, text);
}

bool MemoryControls::disabled(std::string_view name) {
  std::lock_guard lock(mutex_);
  return control(name).disabled;
}

void MemoryControls::set_disabled(std::string_view name, bool disabled) {
  std::lock_guard lock(mutex_);
  control(name).disabled = disabled;
}

void MemoryControls::set_progress_maximum(std::string_view name, int maximum) {
  std::lock_guard lock(mutex_);
  control(name).maximum = maximum;
}

void MemoryControls::set_progress_position(std::string_view name, int position) {
  std::lock_guard lock(mutex_);
  control(name).position = position;
}

int MemoryControls::progress_maximum(std::string_view name) {
  std::lock_guard lock(mutex_);
  return control(name).maximum;
}

int MemoryControls::progress_position(std::string_view name) {
  std::lock_guard lock(mutex_);
  return control(name).position;
}

int MemoryControls::list_insert_row(std::string_view name, std::string_view caption) {
  std::lock_guard lock(mutex_);
  auto& rows = control(name).rows;
  rows.push_back({Text(caption)});
  return static_cast<int>(rows.size()) - 1;
}

void MemoryControls::list_set_cell(std::string_view name, int row, int column,
                                   std::string_view text) {
  std::lock_guard lock(mutex_);
  auto& rows = control(name).rows;
  if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= rows.size()) return;
  auto& cells = rows[static_cast<std::size_t>(row)];
  if (cells.size() <= static_cast<std::size_t>(column))
    cells.resize(static_cast<std::size_t>(column) + 1);
  cells[static_cast<std::size_t>(column)] = text;
}

Text MemoryControls::list_cell(std::string_view name, int row, int column) {
  std::lock_guard lock(mutex_);
  auto& rows = control(name).rows;
  if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= rows.size()) return {};
  auto& cells = rows[static_cast<std::size_t>(row)];
  if (static_cast<std::size_t>(column) >= cells.size()) return {};
  return cells[static_cast<std::size_t>(column)];
}

int MemoryControls::list_row_count(std::string_view name) {
  std::lock_guard lock(mutex_);
  return static_cast<int>(control(name).rows.size());
}

CommonDialog& MemoryControls::common_dialog(std::string_view name) {
  std::lock_guard lock(mutex_);
  return control(name).dialog;  // std::map nodes are stable
}

}  // namespace stdlookup
