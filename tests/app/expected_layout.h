// The window as it must come out, written down independently of the layout table so that a
// slip in either shows up. Captions are UTF-8.
#pragma once

#include <string_view>
#include <vector>

namespace stdlookup::test {

struct ExpectedControl {
  std::string_view name;
  std::string_view parent;  // "" for the window
  int left, top, width, height;
  bool visible, focus;
  std::string_view caption;
};

inline const std::vector<ExpectedControl>& expected_controls() {
  static const std::vector<ExpectedControl> controls = {
      {"分组框1", "", 8, 8, 688, 144, true, false, "单独查询标准"},
      {"标签2", "分组框1", 8, 24, 64, 24, true, false, "输入标准号"},
      {"编辑框1", "分组框1", 80, 25, 136, 24, true, true, ""},
      {"按钮1", "分组框1", 232, 24, 96, 24, true, true, "查询"},
      {"标签5", "分组框1", 360, 8, 136, 40, true, false, "标准状态"},
      {"按钮2", "分组框1", 608, 64, 72, 64, true, true, "详细情况\r\n点击这里"},
      {"标签1", "分组框1", 7, 64, 64, 24, true, false, "标准编号"},
      {"编辑框2", "分组框1", 80, 64, 136, 24, true, true, ""},
      {"标签3", "分组框1", 240, 64, 64, 24, true, false, "中文名称"},
      {"编辑框3", "分组框1", 304, 64, 296, 24, true, true, ""},
      {"标签6", "分组框1", 8, 104, 64, 16, true, false, "实施日期"},
      {"编辑框5", "分组框1", 80, 104, 136, 24, true, true, ""},
      {"标签7", "分组框1", 240, 104, 56, 24, true, false, "发布部门"},
      {"编辑框6", "分组框1", 304, 104, 296, 24, true, true, ""},
      {"按钮4", "", 120, 160, 96, 32, true, true, "开始"},
      {"按钮3", "", 224, 160, 88, 32, true, true, "导出到excel"},
      {"进度条1", "", 320, 160, 376, 32, true, false, ""},
      {"标签8", "", 16, 168, 96, 24, true, false, "批量查询控制台"},
      {"分组框2", "", 8, 200, 688, 360, true, false, ""},
      {"标签9", "分组框2", 24, 16, 144, 24, true, false, "此处贴入要查询的标准号"},
      {"编辑框7", "分组框2", 16, 40, 136, 312, true, true, ""},
      {"超级列表框1", "分组框2", 173, 37, 475, 312, true, true, ""},
      {"分组框3", "", 704, 8, 208, 504, true, false, "单独下载标准"},
      {"按钮5", "分组框3", 48, 16, 112, 32, true, true, "全网搜索下载"},
      {"按钮6", "分组框3", 48, 64, 112, 48, true, true, "查找中"},
      {"标签4", "分组框3", 16, 136, 184, 360, true, false,
       "注意，目前只能下载食品类标准\r\n\r\n更多功能站内短我！我自己用的功能就这么些了。好用。"
       "批量下载不对外开放，涉及到很多麻烦的东西。"},
      {"编辑框4", "分组框3", 16, 200, 176, 24, false, true, ""},
  };
  return controls;
}

// The buttons and the action each click must run.
struct ExpectedRoute {
  std::string_view button;
  std::string_view action;
};

inline const std::vector<ExpectedRoute>& expected_routes() {
  static const std::vector<ExpectedRoute> routes = {
      {"按钮1", "single_query"}, {"按钮2", "open_detail_page"}, {"按钮3", "export_to_workbook"},
      {"按钮4", "batch_query"},  {"按钮5", "download_search"},  {"按钮6", "open_download_link"},
  };
  return routes;
}

}  // namespace stdlookup::test
