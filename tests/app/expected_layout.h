// The window as it must come out, written down independently of the layout table so that a
// slip in either shows up. Captions are UTF-8.
#pragma once

#include <string_view>
#include <vector>

#include "controls/control_names.h"

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
      {kSingleQueryGroup, "", 8, 8, 688, 144, true, false, "单独查询标准"},
      {kInputLabel, kSingleQueryGroup, 8, 24, 64, 24, true, false, "输入标准号"},
      {kNumberInput, kSingleQueryGroup, 80, 25, 136, 24, true, true, ""},
      {kQueryButton, kSingleQueryGroup, 232, 24, 96, 24, true, true, "查询"},
      {kStatusLabel, kSingleQueryGroup, 360, 8, 136, 40, true, false, "标准状态"},
      {kDetailButton, kSingleQueryGroup, 608, 64, 72, 64, true, true, "详细情况\r\n点击这里"},
      {kNumberLabel, kSingleQueryGroup, 7, 64, 64, 24, true, false, "标准编号"},
      {kNumberBox, kSingleQueryGroup, 80, 64, 136, 24, true, true, ""},
      {kNameLabel, kSingleQueryGroup, 240, 64, 64, 24, true, false, "中文名称"},
      {kNameBox, kSingleQueryGroup, 304, 64, 296, 24, true, true, ""},
      {kDateLabel, kSingleQueryGroup, 8, 104, 64, 16, true, false, "实施日期"},
      {kDateBox, kSingleQueryGroup, 80, 104, 136, 24, true, true, ""},
      {kDepartmentLabel, kSingleQueryGroup, 240, 104, 56, 24, true, false, "发布部门"},
      {kDepartmentBox, kSingleQueryGroup, 304, 104, 296, 24, true, true, ""},
      {kBatchButton, "", 120, 160, 96, 32, true, true, "开始"},
      {kExportButton, "", 224, 160, 88, 32, true, true, "导出到excel"},
      {kProgressBar, "", 320, 160, 376, 32, true, false, ""},
      {kBatchLabel, "", 16, 168, 96, 24, true, false, "批量查询控制台"},
      {kBatchGroup, "", 8, 200, 688, 360, true, false, ""},
      {kPasteLabel, kBatchGroup, 24, 16, 144, 24, true, false, "此处贴入要查询的标准号"},
      {kBatchInput, kBatchGroup, 16, 40, 136, 312, true, true, ""},
      {kResultList, kBatchGroup, 173, 37, 475, 312, true, true, ""},
      {kDownloadGroup, "", 704, 8, 208, 504, true, false, "单独下载标准"},
      {kDownloadSearchButton, kDownloadGroup, 48, 16, 112, 32, true, true, "全网搜索下载"},
      {kDownloadLinkButton, kDownloadGroup, 48, 64, 112, 48, true, true, "查找中"},
      {kDownloadNoteLabel, kDownloadGroup, 16, 136, 184, 360, true, false,
       "注意，目前只能下载食品类标准\r\n\r\n更多功能站内短我！我自己用的功能就这么些了。好用。"
       "批量下载不对外开放，涉及到很多麻烦的东西。"},
      {kDownloadLinkBox, kDownloadGroup, 16, 200, 176, 24, false, true, ""},
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
      {kQueryButton, "single_query"},
      {kDetailButton, "open_detail_page"},
      {kExportButton, "export_to_workbook"},
      {kBatchButton, "batch_query"},
      {kDownloadSearchButton, "download_search"},
      {kDownloadLinkButton, "open_download_link"},
  };
  return routes;
}

}  // namespace stdlookup::test
