#include "export/export.h"

#include "lists/columns.h"
#include "runtime/conversion.h"
#include "runtime/gbk.h"
#include "runtime/system.h"
#include "runtime/text.h"
#include "runtime/window_services.h"

namespace stdlookup {

using namespace literals;

namespace {

// What is written is an Office Open XML workbook: the name must say so, or spreadsheet programs
// refuse or warn. A name without an extension gets ".xlsx"; ".xls" (any case) becomes ".xlsx".
Text workbook_file_name(const Text& name) {
  std::filesystem::path path = native_path(name);
  const std::u8string extension = path.extension().u8string();
  if (!extension.empty() && to_lower(std::string(extension.begin(), extension.end())) != ".xls")
    return name;
  path.replace_extension(".xlsx");
  const std::u8string adjusted = path.u8string();
  return Text(adjusted.begin(), adjusted.end());
}

// The layout offers "*.xls"; "*.xlsx" is offered first. A save dialog cannot demand an existing
// file, so that one of the layout's options is dropped; the others stay.
void prepare_save_dialog(CommonDialog& dialog) {
  dialog.type = 1;
  dialog.flags &= ~kOfnFileMustExist;
  if (dialog.filter.find("*.xlsx") == Text::npos) {
    dialog.filter = "*.xlsx|*.xlsx|" + dialog.filter;
    dialog.initial_filter = 1;
  }
  dialog.default_extension = "xlsx";
  dialog.adjust_file_name = workbook_file_name;
}

// "导出成功!", and when cells were cut to the workbook's limit, which sheet rows hold them: a few
// by number, then how many in all.
Text success_message(const std::vector<int>& cut_rows) {
  Text message = "导出成功!"_gbk;
  if (cut_rows.empty()) return message;
  constexpr std::size_t kNamed = 5;
  message += "\r\n"_gbk + "工作表第 "_gbk;
  for (std::size_t i = 0; i < cut_rows.size() && i < kNamed; ++i)
    message += (i ? "、"_gbk : Text()) + to_text(cut_rows[i]);
  if (cut_rows.size() > kNamed)
    message += " 行等 "_gbk + to_text(static_cast<int>(cut_rows.size()));
  return message + " 行有超过 "_gbk + to_text(kCellCharacterLimit) +
         " 个字符的内容，已截断（以“…”结尾）"_gbk;
}

}  // namespace

const std::array<Text, 4>& export_header_texts() {
  static const std::array<Text, 4> headers = {
      utf8_to_gbk(lists::kRowHeaders[0]), utf8_to_gbk(lists::kRowHeaders[1]),
      utf8_to_gbk(lists::kRowHeaders[2]), utf8_to_gbk(lists::kRowHeaders[3])};
  return headers;
}

SaveResult write_rows_to_workbook(int row_count, const std::function<ExportRow(int row)>& row,
                                  WorkbookWriter& writer, const Text& path, bool yield) {
  return workbook::write_rows(writer, export_header_texts(), row_count, row, path,
                              yield ? process_pending_messages : std::function<void()>());
}

SaveResult write_rows_to_workbook(std::span<const ExportRow> rows, WorkbookWriter& writer,
                                  const Text& path) {
  return write_rows_to_workbook(
      static_cast<int>(rows.size()),
      [rows](int row) { return rows[static_cast<std::size_t>(row)]; }, writer, path, false);
}

SaveResult write_list_to_workbook(Controls& controls, WorkbookWriter& writer, const Text& path,
                                  bool yield) {
  // Counted once: rows a running batch adds later stay out.
  const int rows = controls.list_row_count(kResultList);
  return write_rows_to_workbook(
      rows,
      [&controls](int row) {
        ExportRow cells;
        for (std::size_t j = 0; j < cells.size(); ++j)
          cells[j] = controls.list_cell(kResultList, row, static_cast<int>(j));
        return cells;
      },
      writer, path, yield);
}

void export_to_workbook(Controls& controls, WorkbookWriter& writer) {
  // The export yields to window messages per row, so a second click on 按钮3 could start a
  // nested export on the same thread; it is ignored instead.
  static bool running = false;
  if (running) return;
  running = true;
  struct Reset {
    ~Reset() { running = false; }
  } reset;

  CommonDialog& dialog = controls.common_dialog(kSaveDialog);
  prepare_save_dialog(dialog);
  if (!show_common_dialog(dialog)) return;
  const Text path = dialog.file_name;

  SaveResult result = write_list_to_workbook(controls, writer, path, true);
  if (!result.ok()) {
    message_box("导出失败"_gbk + "\r\n" + result.failure_reason, kMbOk | kMbIconHand);
    return;
  }
  message_box(success_message(result.cut_rows), kMbOk | kMbIconInformation);
  shell_open_path(path);  // a native path, not a GBK text
}

void export_to_workbook(Controls& controls) {
  auto writer = make_xlsx_workbook_writer();
  export_to_workbook(controls, *writer);
}

}  // namespace stdlookup
