// The main window's controls by name: one constant per control of the layout table, so that a
// misspelt name is a compile error instead of a write that silently goes nowhere. The values are
// the layout's names in UTF-8; the layout table and every user of Controls take them from here.
#pragma once

#include <array>
#include <string_view>

namespace stdlookup {

inline constexpr std::string_view kMainWindow = "启动窗口";

// Single query (分组框1).
inline constexpr std::string_view kSingleQueryGroup = "分组框1";
inline constexpr std::string_view kInputLabel = "标签2";
inline constexpr std::string_view kNumberInput = "编辑框1";  // the number the user types
inline constexpr std::string_view kQueryButton = "按钮1";
inline constexpr std::string_view kStatusLabel = "标签5";  // 现行 / 作废 / 查询失败
inline constexpr std::string_view kDetailButton = "按钮2";
inline constexpr std::string_view kNumberLabel = "标签1";
inline constexpr std::string_view kNumberBox = "编辑框2";
inline constexpr std::string_view kNameLabel = "标签3";
inline constexpr std::string_view kNameBox = "编辑框3";
inline constexpr std::string_view kDateLabel = "标签6";
inline constexpr std::string_view kDateBox = "编辑框5";
inline constexpr std::string_view kDepartmentLabel = "标签7";
inline constexpr std::string_view kDepartmentBox = "编辑框6";

// Batch query.
inline constexpr std::string_view kBatchButton = "按钮4";
inline constexpr std::string_view kExportButton = "按钮3";
inline constexpr std::string_view kProgressBar = "进度条1";
inline constexpr std::string_view kBatchLabel = "标签8";
inline constexpr std::string_view kBatchGroup = "分组框2";
inline constexpr std::string_view kPasteLabel = "标签9";
inline constexpr std::string_view kBatchInput = "编辑框7";  // one number per line
inline constexpr std::string_view kResultList = "超级列表框1";

// Download search (分组框3).
inline constexpr std::string_view kDownloadGroup = "分组框3";
inline constexpr std::string_view kDownloadSearchButton = "按钮5";
inline constexpr std::string_view kDownloadLinkButton = "按钮6";
inline constexpr std::string_view kDownloadNoteLabel = "标签4";
inline constexpr std::string_view kDownloadLinkBox = "编辑框4";  // hidden; holds the link

// Components: a table entry, no widget.
inline constexpr std::string_view kSaveDialog = "通用对话框_公用";
inline constexpr std::string_view kExcelApplication = "Excel程序1";
inline constexpr std::string_view kExcelWorkbooks = "Excel工作簿1";

inline constexpr std::array kControlNames = {
    kMainWindow,
    kSingleQueryGroup,
    kInputLabel,
    kNumberInput,
    kQueryButton,
    kStatusLabel,
    kDetailButton,
    kNumberLabel,
    kNumberBox,
    kNameLabel,
    kNameBox,
    kDateLabel,
    kDateBox,
    kDepartmentLabel,
    kDepartmentBox,
    kBatchButton,
    kExportButton,
    kProgressBar,
    kBatchLabel,
    kBatchGroup,
    kPasteLabel,
    kBatchInput,
    kResultList,
    kDownloadGroup,
    kDownloadSearchButton,
    kDownloadLinkButton,
    kDownloadNoteLabel,
    kDownloadLinkBox,
    kSaveDialog,
    kExcelApplication,
    kExcelWorkbooks,
};

// Whether `name` is a control of the window. Front ends check every name they are handed in
// debug builds: an unknown one is a programming error.
constexpr bool is_control_name(std::string_view name) {
  for (std::string_view known : kControlNames) {
    if (known == name) return true;
  }
  return false;
}

}  // namespace stdlookup
