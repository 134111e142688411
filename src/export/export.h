// Exporting the batch list to a workbook: a save dialog, one sheet row per list row (after a
// header row), every cell a text cell, an atomic checked save, and an honest report.
#pragma once

#include <array>
#include <functional>
#include <span>

#include "controls/controls.h"
#include "workbook/writer.h"

namespace stdlookup {

// The export drives the workbook writer.
using workbook::kCellCharacterLimit;
using workbook::make_xlsx_workbook_writer;
using workbook::SaveResult;
using workbook::WorkbookLook;
using workbook::WorkbookWriter;

// "标准号", "标准中文名", "实施日期", "是否作废" (GBK); also the number of columns exported.
const std::array<Text, 4>& export_header_texts();

// One list row as exported: number, Chinese name, implementation date, status (GBK).
using ExportRow = std::array<Text, 4>;

// The one row writer: the header row, then `row_count` rows from `row` (0-based) in sheet rows
// 2, 3, …, through `writer`, saved to `path` (native). With yield, pending window messages are
// processed once per row.
SaveResult write_rows_to_workbook(int row_count, const std::function<ExportRow(int row)>& row,
                                  WorkbookWriter& writer, const Text& path, bool yield);
SaveResult write_rows_to_workbook(std::span<const ExportRow> rows, WorkbookWriter& writer,
                                  const Text& path);

// The action of 按钮3. A click while an export is running is ignored.
void export_to_workbook(Controls& controls);
void export_to_workbook(Controls& controls, WorkbookWriter& writer);

// Writes the header and the rows of the list 超级列表框1 (counted once, after the header)
// through `writer` and saves to `path` (native). With yield, pending window messages are
// processed once per row.
SaveResult write_list_to_workbook(Controls& controls, WorkbookWriter& writer, const Text& path,
                                  bool yield);

}  // namespace stdlookup
