// The headers our rows and the user's lists are read and written by, once for every reader and
// writer. UTF-8.
#pragma once

#include <array>
#include <string_view>

#include "workbook/sheet_edit.h"

namespace stdlookup::lists {

// A batch row's four columns: the window's list, its export, --output.
inline constexpr std::array<std::string_view, 4> kRowHeaders = {"标准号", "标准中文名", "实施日期",
                                                                "是否作废"};
// The numbers column of a user's list, by the first of these in its header row.
inline constexpr std::array<std::string_view, 4> kNumberHeaders = {"标准号", "标准编号", "执行标准",
                                                                   "标准代号"};
// The result columns --update writes, in this order: found by either header ("" none), appended
// under the first.
using workbook::kResultColumns;
inline constexpr workbook::ResultHeaders kResultHeaders = {{
    {"标准中文名", "标准名称"},
    {"实施日期", ""},
    {"是否作废", "状态"},
    {"查询日期", ""},
}};

}  // namespace stdlookup::lists
