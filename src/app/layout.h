// The main window's layout: one static table of every control, compiled into the program.
// Strings here are UTF-8 toolkit data (names, captions, headers); a front end converts them at
// its edge, and the logic sees captions as GBK through Controls.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "controls/control_names.h"
#include "controls/controls.h"

namespace stdlookup {

enum class ControlClass {
  window,
  edit_box,
  group_box,
  label,
  button,
  process_bar,
  common_dialog,
  list_view,
  excel_app,
  excel_workbooks,
};

enum ControlFlag : unsigned {
  kControlVisible = 1,
  kControlDisabled = 2,
  kControlFocus = 4,  // can take the keyboard focus
};

// What an event of a control runs (event 0: a button's click, the end of the window's creation).
enum class EventAction {
  none,
  themed_drawing,  // with style 1
  single_query,
  open_detail_page,
  start_batch,
  export_to_workbook,
  download_search,
  open_download_link,
};

struct Rgb {
  std::uint8_t red, green, blue;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct ListColumn {
  std::string_view header;
  int width;
};

struct ControlEntry {
  std::string_view name;
  ControlClass control_class;
  std::string_view parent;  // empty for the window itself
  int left, top, width, height;
  unsigned flags;
  EventAction on_event0 = EventAction::none;
  // Class-specific properties; defaults mean "none".
  std::string_view caption = {};  // "\r\n" line breaks
  std::optional<Rgb> background = {};
  std::span<const ListColumn> columns = {};
  std::string_view filter = {};  // common dialog: "text|pattern|…"
  unsigned dialog_flags = 0;     // common dialog: kOfn… options
  bool multi_line = false;       // edit box: Enter breaks lines, vertical scroll bar
  bool word_wrap = false;        // label: long lines wrap inside the label
};

// Every control, the window first, each parent before its children. The window's size is its
// outer size, frame included, as a form designer gives it.
std::span<const ControlEntry> main_window_layout();

// The client area that a standard Windows frame (WS_OVERLAPPEDWINDOW at 96 DPI: an 8-pixel
// sizing border on each side, a 23-pixel caption) leaves inside the window's outer size: what a
// front end without such a frame gives its window, so that the layout fills it alike everywhere.
struct ClientSize {
  int width, height;
};
constexpr int kStandardFrameBorder = 8;
constexpr int kStandardFrameCaption = 23;
ClientSize main_window_client_size();
// The entry of `name`, or nullptr.
const ControlEntry* find_control(std::string_view name);

// Components (file dialog, spreadsheet objects) have a table entry but no widget.
bool is_component(ControlClass control_class);

// A front end's common dialogs, one per common-dialog entry of the layout, each starting with
// the entry's filter and options. Safe to use from any thread; a dialog lives as long as this.
class LayoutDialogs {
 public:
  LayoutDialogs();
  CommonDialog& operator[](std::string_view name);

 private:
  std::mutex mutex_;
  std::map<std::string, CommonDialog, std::less<>> dialogs_;
};

// Writes the start state of every control of `layout` into `controls` (captions as GBK,
// disabled flags, a new progress bar's maximum, the dialog filter), as the window starts.
void start_as_window(Controls& controls,
                     std::span<const ControlEntry> layout = main_window_layout());

}  // namespace stdlookup
