#include "app/layout.h"

#include <array>

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
    {.name = "分组框1", .control_class = group_box, .parent = kMainWindow, .left = 8, .top = 8, .width = 688, .height = 144, .flags = kShown,
     .caption = "单独查询标准"},
    {.name = "标签2", .control_class = label, .parent = "分组框1", .left = 8, .top = 24, .width = 64, .height = 24, .flags = kShown,
     .caption = "输入标准号"},
    {.name = "编辑框1", .control_class = edit_box, .parent = "分组框1", .left = 80, .top = 25, .width = 136, .height = 24, .flags = kShownFocus},
    {.name = "按钮1", .control_class = button, .parent = "分组框1", .left = 232, .top = 24, .width = 96, .height = 24, .flags = kShownFocus,
     .on_event0 = EventAction::single_query, .caption = "查询"},
    {.name = "标签5", .control_class = label, .parent = "分组框1", .left = 360, .top = 8, .width = 136, .height = 40, .flags = kShown,
     .caption = "标准状态", .background = Rgb{255, 168, 255}},
    {.name = "按钮2", .control_class = button, .parent = "分组框1", .left = 608, .top = 64, .width = 72, .height = 64, .flags = kShownFocus,
     .on_event0 = EventAction::open_detail_page, .caption = "详细情况\r\n点击这里"},
    {.name = "标签1", .control_class = label, .parent = "分组框1", .left = 7, .top = 64, .width = 64, .height = 24, .flags = kShown,
     .caption = "标准编号"},
    {.name = "编辑框2", .control_class = edit_box, .parent = "分组框1", .left = 80, .top = 64, .width = 136, .height = 24, .flags = kShownFocus},
    {.name = "标签3", .control_class = label, .parent = "分组框1", .left = 240, .top = 64, .width = 64, .height = 24, .flags = kShown,
     .caption = "中文名称"},
    {.name = "编辑框3", .control_class = edit_box, .parent = "分组框1", .left = 304, .top = 64, .width = 296, .height = 24, .flags = kShownFocus},
    {.name = "标签6", .control_class = label, .parent = "分组框1", .left = 8, .top = 104, .width = 64, .height = 16, .flags = kShown,
     .caption = "实施日期"},
    {.name = "编辑框5", .control_class = edit_box, .parent = "分组框1", .left = 80, .top = 104, .width = 136, .height = 24, .flags = kShownFocus},
    {.name = "标签7", .control_class = label, .parent = "分组框1", .left = 240, .top = 104, .width = 56, .height = 24, .flags = kShown,
     .caption = "发布部门"},
    {.name = "编辑框6", .control_class = edit_box, .parent = "分组框1", .left = 304, .top = 104, .width = 296, .height = 24, .flags = kShownFocus},
    {.name = "按钮4", .control_class = button, .parent = kMainWindow, .left = 120, .top = 160, .width = 96, .height = 32, .flags = kShownFocus,
     .on_event0 = EventAction::start_batch, .caption = "开始"},
    {.name = "按钮3", .control_class = button, .parent = kMainWindow, .left = 224, .top = 160, .width = 88, .height = 32, .flags = kShownFocus,
     .on_event0 = EventAction::export_to_workbook, .caption = "导出到excel"},
    {.name = "进度条1", .control_class = process_bar, .parent = kMainWindow, .left = 320, .top = 160, .width = 376, .height = 32, .flags = kShown},
    {.name = "标签8", .control_class = label, .parent = kMainWindow, .left = 16, .top = 168, .width = 96, .height = 24, .flags = kShown,
     .caption = "批量查询控制台"},
    {.name = "分组框2", .control_class = group_box, .parent = kMainWindow, .left = 8, .top = 200, .width = 688, .height = 360, .flags = kShown},
    {.name = "标签9", .control_class = label, .parent = "分组框2", .left = 24, .top = 16, .width = 144, .height = 24, .flags = kShown,
     .caption = "此处贴入要查询的标准号"},
    {.name = "编辑框7", .control_class = edit_box, .parent = "分组框2", .left = 16, .top = 40, .width = 136, .height = 312, .flags = kShownFocus,
     .multi_line = true},
    {.name = "超级列表框1", .control_class = list_view, .parent = "分组框2", .left = 173, .top = 37, .width = 475, .height = 312, .flags = kShownFocus,
     .columns = kResultColumns},
    {.name = "分组框3", .control_class = group_box, .parent = kMainWindow, .left = 704, .top = 8, .width = 208, .height = 504, .flags = kShown,
     .caption = "单独下载标准"},
    {.name = "按钮5", .control_class = button, .parent = "分组框3", .left = 48, .top = 16, .width = 112, .height = 32, .flags = kShownFocus,
     .on_event0 = EventAction::download_search, .caption = "全网搜索下载"},
    {.name = "按钮6", .control_class = button, .parent = "分组框3", .left = 48, .top = 64, .width = 112, .height = 48, .flags = kShownFocus,
     .on_event0 = EventAction::open_download_link, .caption = "查找中"},
    {.name = "标签4", .control_class = label, .parent = "分组框3", .left = 16, .top = 136, .width = 184, .height = 360, .flags = kShown,
     .caption = kDownloadNote, .word_wrap = true},
    {.name = "编辑框4", .control_class = edit_box, .parent = "分组框3", .left = 16, .top = 200, .width = 176, .height = 24, .flags = kControlFocus},
    {.name = "通用对话框_公用", .control_class = common_dialog, .parent = kMainWindow, .left = 0, .top = 0, .width = 0, .height = 0, .flags = 0,
     .filter = "*.xls|*.xls"},
    {.name = "Excel程序1", .control_class = excel_app, .parent = "分组框2", .left = 0, .top = 0, .width = 0, .height = 0, .flags = 0},
    {.name = "Excel工作簿1", .control_class = excel_workbooks, .parent = "分组框2", .left = 0, .top = 0, .width = 0, .height = 0, .flags = 0},
}};
// clang-format on

}  // namespace

std::span<const ControlEntry> main_window_layout() {
  return kLayout;
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

}  // namespace stdlookup
