// Exporting the batch list to a workbook: a save dialog, one sheet row per list row (after a
// header row), every cell a text cell, an atomic checked save, and an honest report.
#pragma once

#include <array>

#include "app/controls.h"
#include "export/workbook_writer.h"

namespace stdlookup {

// "标准号", "标准中文名", "实施日期", "是否作废" (GBK); also the number of columns exported.
const std::array<Text, 4>& export_header_texts();

// The action of 按钮3. A click while an export is running is ignored.
void export_to_workbook(Controls& controls);
void export_to_workbook(Controls& controls, WorkbookWriter& writer);

// Writes the header and the rows of the list 超级列表框1 (counted once, after the header)
// through `writer` and saves to `path` (native). With yield, pending window messages are
// processed once per row.
SaveResult write_list_to_workbook(Controls& controls, WorkbookWriter& writer, const Text& path,
                                  bool yield);

}  // namespace stdlookup
