#include "app/layout.h"

#include <array>
#include <cassert>

#include "runtime/gbk.h"
#include "runtime/window_services.h"

namespace stdlookup {
namespace {

using enum ControlClass;
constexpr unsigned kShown = kControlVisible;
constexpr unsigned kShownFocus = kControlVisible | kControlFocus;

constexpr std::array<ListColumn, 4> kResultColumns = {{
    {"标准号", 100},
    {"标准中文名", 160},
    {"实施日期", 120},
    {"是否作废", 80},
}};

constexpr std::string_view kDownloadNote =
    "注意，目前只能下载食品类标准\r\n\r\n"
    "更多功能站内短我！我自己用的功能就这么些了。好用。批量下载不对外开放，涉及到很多麻烦的东西。";

// clang-format off
constexpr std::array<ControlEntry, 31> kLayout = {{
    {.name = kMainWindow, .control_class = window, .parent = "", .left = 50, .top = 50, .width = 929, .height = 605, .flags = kShown,
     .on_event0 = EventAction::themed_drawing, .caption = "标准查询"},
    {.name = kSingleQueryGroup, .control_class = group_box, .parent = kMainWindow, .left = 8, .top = 8, .width = 688, .height = 144, .flags = kShown,
     .caption = "单独查询标准"},
    {.name = kInputLabel, .control_class = label, .parent = kSingleQueryGroup, .left = 8, .top = 24, .width = 64, .height = 24, .flags = kShown,
     .caption = "输入标准号"},
    {.name = kNumberInput, .control_class = edit_box, .parent = kSingleQueryGroup, .left = 80, .top = 25, .width = 136, .height = 24, .flags = kShownFocus},
    {.name = kQueryButton, .control_class = button, .parent = kSingleQueryGroup, .left = 232, .top = 24, .width = 96, .height = 24, .flags = kShownFocus,
     .on_event0 = EventAction::single_query, .caption = "查询"},
    {.name = kStatusLabel, .control_class = label, .parent = kSingleQueryGroup, .left = 360, .top = 8, .width = 136, .height = 40, .flags = kShown,
     .caption = "标准状态", .background = Rgb{255, 168, 255}},
    {.name = kDetailButton, .control_class = button, .parent = kSingleQueryGroup, .left = 608, .top = 64, .width = 72, .height = 64, .flags = kShownFocus,
     .on_event0 = EventAction::open_detail_page, .caption = "详细情况\r\n点击这里"},
    {.name = kNumberLabel, .control_class = label, .parent = kSingleQueryGroup, .left = 7, .top = 64, .width = 64, .height = 24, .flags = kShown,
     .caption = "标准编号"},
    {.name = kNumberBox, .control_class = edit_box, .parent = kSingleQueryGroup, .left = 80, .top = 64, .width = 136, .height = 24, .flags = kShownFocus},
    {.name = kNameLabel, .control_class = label, .parent = kSingleQueryGroup, .left = 240, .top = 64, .width = 64, .height = 24, .flags = kShown,
     .caption = "中文名称"},
    {.name = kNameBox, .control_class = edit_box, .parent = kSingleQueryGroup, .left = 304, .top = 64, .width = 296, .height = 24, .flags = kShownFocus},
    {.name = kDateLabel, .control_class = label, .parent = kSingleQueryGroup, .left = 8, .top = 104, .width = 64, .height = 16, .flags = kShown,
     .caption = "实施日期"},
    {.name = kDateBox, .control_class = edit_box, .parent = kSingleQueryGroup, .left = 80, .top = 104, .width = 136, .height = 24, .flags = kShownFocus},
    {.name = kDepartmentLabel, .control_class = label, .parent = kSingleQueryGroup, .left = 240, .top = 104, .width = 56, .height = 24, .flags = kShown,
     .caption = "发布部门"},
    {.name = kDepartmentBox, .control_class = edit_box, .parent = kSingleQueryGroup, .left = 304, .top = 104, .width = 296, .height = 24, .flags = kShownFocus},
    {.name = kBatchButton, .control_class = button, .parent = kMainWindow, .left = 120, .top = 160, .width = 96, .height = 32, .flags = kShownFocus,
     .on_event0 = EventAction::start_batch, .caption = "开始"},
    {.name = kExportButton, .control_class = button, .parent = kMainWindow, .left = 224, .top = 160, .width = 88, .height = 32, .flags = kShownFocus,
     .on_event0 = EventAction::export_to_workbook, .caption = "导出到excel"},
    {.name = kProgressBar, .control_class = process_bar, .parent = kMainWindow, .left = 320, .top = 160, .width = 376, .height = 32, .flags = kShown},
    {.name = kBatchLabel, .control_class = label, .parent = kMainWindow, .left = 16, .top = 168, .width = 96, .height = 24, .flags = kShown,
     .caption = "批量查询控制台"},
    {.name = kBatchGroup, .control_class = group_box, .parent = kMainWindow, .left = 8, .top = 200, .width = 688, .height = 360, .flags = kShown},
    {.name = kPasteLabel, .control_class = label, .parent = kBatchGroup, .left = 24, .top = 16, .width = 144, .height = 24, .flags = kShown,
     .caption = "此处贴入要查询的标准号"},
    {.name = kBatchInput, .control_class = edit_box, .parent = kBatchGroup, .left = 16, .top = 40, .width = 136, .height = 312, .flags = kShownFocus,
     .multi_line = true},
    {.name = kResultList, .control_class = list_view, .parent = kBatchGroup, .left = 173, .top = 37, .width = 475, .height = 312, .flags = kShownFocus,
     .columns = kResultColumns},
    {.name = kDownloadGroup, .control_class = group_box, .parent = kMainWindow, .left = 704, .top = 8, .width = 208, .height = 504, .flags = kShown,
     .caption = "单独下载标准"},
    {.name = kDownloadSearchButton, .control_class = button, .parent = kDownloadGroup, .left = 48, .top = 16, .width = 112, .height = 32, .flags = kShownFocus,
     .on_event0 = EventAction::download_search, .caption = "全网搜索下载"},
    {.name = kDownloadLinkButton, .control_class = button, .parent = kDownloadGroup, .left = 48, .top = 64, .width = 112, .height = 48, .flags = kShownFocus,
     .on_event0 = EventAction::open_download_link, .caption = "查找中"},
    {.name = kDownloadNoteLabel, .control_class = label, .parent = kDownloadGroup, .left = 16, .top = 136, .width = 184, .height = 360, .flags = kShown,
     .caption = kDownloadNote, .word_wrap = true},
    {.name = kDownloadLinkBox, .control_class = edit_box, .parent = kDownloadGroup, .left = 16, .top = 200, .width = 176, .height = 24, .flags = kControlFocus},
    {.name = kSaveDialog, .control_class = common_dialog, .parent = kMainWindow, .left = 0, .top = 0, .width = 0, .height = 0, .flags = 0,
     .filter = "*.xls|*.xls", .dialog_flags = kOfnHideReadOnly | kOfnFileMustExist | kOfnOverwritePrompt | kOfnPathMustExist},
    {.name = kExcelApplication, .control_class = excel_app, .parent = kBatchGroup, .left = 0, .top = 0, .width = 0, .height = 0, .flags = 0},
    {.name = kExcelWorkbooks, .control_class = excel_workbooks, .parent = kBatchGroup, .left = 0, .top = 0, .width = 0, .height = 0, .flags = 0},
}};
// clang-format on

}  // namespace

std::span<const ControlEntry> main_window_layout() {
  return kLayout;
}

ClientSize main_window_client_size() {
  const ControlEntry& window = main_window_layout().front();
  return {window.width - 2 * kStandardFrameBorder,
          window.height - kStandardFrameCaption - 2 * kStandardFrameBorder};
}

const ControlEntry* find_control(std::string_view name) {
  for (const ControlEntry& entry : kLayout) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

bool is_component(ControlClass control_class) {
  return control_class == common_dialog || control_class == excel_app ||
         control_class == excel_workbooks;
}

LayoutDialogs::LayoutDialogs() {
  for (const ControlEntry& entry : kLayout) {
    if (entry.control_class != common_dialog) continue;
    CommonDialog& dialog = dialogs_[std::string(entry.name)];
    dialog.filter = utf8_to_gbk(entry.filter);
    dialog.flags = entry.dialog_flags;
  }
}

CommonDialog& LayoutDialogs::operator[](std::string_view name) {
  assert(is_control_name(name) && "not a control of the window");
  std::lock_guard lock(mutex_);
  auto it = dialogs_.find(name);
  if (it == dialogs_.end()) it = dialogs_.emplace(std::string(name), CommonDialog{}).first;
  return it->second;
}

void start_as_window(Controls& controls, std::span<const ControlEntry> layout) {
  for (const ControlEntry& entry : layout) {
    if (entry.control_class == ControlClass::common_dialog) {
      CommonDialog& dialog = controls.common_dialog(entry.name);
      dialog.filter = utf8_to_gbk(entry.filter);
      dialog.flags = entry.dialog_flags;
      continue;
    }
    if (is_component(entry.control_class)) continue;
    controls.set_caption(entry.name, utf8_to_gbk(entry.caption));
    controls.set_disabled(entry.name, (entry.flags & kControlDisabled) != 0);
    if (entry.control_class == ControlClass::process_bar)
      controls.set_progress_maximum(entry.name, 100);
  }
}

}  // namespace stdlookup
