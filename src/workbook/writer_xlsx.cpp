// The workbook writer over libxlsxwriter. Cells are kept in memory until "save as", which writes
// the whole workbook in one go (row by row, in constant-memory mode) to a checked temporary file.
// With the readable look: the first row as a header (bold, frozen, with a filter), the columns as
// wide as their content, and a row whose 是否作废 says the standard is abolished, or that it could
// not be looked up, in a colour that shows it; printed landscape, one page wide, the header on
// each page. Plain, nothing but the cells.
#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "runtime/atomic_file.h"
#include "runtime/gbk.h"
#include "runtime/text.h"
#include "workbook/check.h"
#include "workbook/writer.h"

namespace stdlookup::workbook {

using namespace literals;

namespace {

// How a row looks: a cell's format is its number format and this.
enum Look : std::size_t { kPlain, kHeader, kAbolished, kNotFound, kLooks };

Look look_of_status(const RowMarks& marks, const std::string& status) {
  if (!marks.abolished.empty() && status == marks.abolished) return kAbolished;
  for (const std::string& word : marks.unanswered)
    if (status == word) return kNotFound;
  return kPlain;
}

// GBK as UTF-8; ASCII (numbers, dates) is both already.
std::string utf8_of(std::string_view gbk) {
  const bool ascii = std::all_of(gbk.begin(), gbk.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return ascii ? std::string(gbk) : gbk_to_utf8(gbk);
}

class XlsxWorkbookWriter final : public WorkbookWriter {
 public:
  XlsxWorkbookWriter(WorkbookLook look, RowMarks marks)
      : readable_(look == WorkbookLook::readable), marks_(std::move(marks)) {}

  bool create_application() override {
    release_workbook();
    application_ = true;
    return true;
  }
  void quit_application() override {}
  void release_application() override { application_ = false; }

  bool create_workbook() override {
    release_workbook();
    if (!application_) return false;
    workbook_ = true;
    worksheet_ = true;  // the first worksheet of the new workbook
    return true;
  }
  void activate() override {}
  void set_current_worksheet(int index) override { worksheet_ = workbook_ && index == 1; }

  void set_range_start(std::string_view cell) override { range_start_ = cell; }
  void set_range_end(std::string_view cell) override {
    range_end_ = cell;
    int r0, c0, r1, c1;
    has_range_ = worksheet_ && parse_cell_address(range_start_, r0, c0) &&
                 parse_cell_address(range_end_, r1, c1);
    if (has_range_) {
      first_ = {std::min(r0, r1), std::min(c0, c1)};
      last_ = {std::max(r0, r1), std::max(c0, c1)};
    }
  }

  void set_number_format(std::string_view format) override {
    if (!has_range_) return;
    // The export gives every cell the same format: it is converted and looked up once.
    if (format != last_format_ || last_format_index_ < 0) {
      last_format_ = format;
      last_format_index_ = format_index(utf8_of(format));
    }
    for_each_cell([&](Cell& cell) { cell.format = last_format_index_; });
  }

  void set_value(std::string_view text) override {
    if (!has_range_) return;
    std::string utf8 = utf8_of(text);
    if (cut_to_cell_limit(utf8)) {
      for (int r = first_.row; r <= last_.row; ++r) cut_rows_.insert(r + 1);
    }
    for_each_cell([&](Cell& cell) {
      cell.value = utf8;
      cell.written = true;
    });
  }

  SaveResult save_as(const Text& path) override {
    if (!workbook_) return {"没有可保存的工作簿"_gbk, {}};
    FileReplacement result = replace_file(
        path, [this](const std::string& temp) { return write_xlsx(temp); }, check_workbook_file);
    return {failure_of(result), {cut_rows_.begin(), cut_rows_.end()}};
  }

  void close_workbook() override {
    workbook_ = worksheet_ = has_range_ = false;
    last_format_index_ = -1;
    rows_.clear();
    formats_.clear();
    cut_rows_.clear();
  }
  void release_workbook() override {
    close_workbook();
    range_start_.clear();
    range_end_.clear();
  }

 private:
  struct Cell {
    std::string value;  // UTF-8
    int format = -1;    // index into formats_, -1 for none
    bool written = false;
  };
  struct Position {
    int row, column;
  };

  int format_index(const std::string& format) {
    for (std::size_t i = 0; i < formats_.size(); ++i) {
      if (formats_[i] == format) return static_cast<int>(i);
    }
    formats_.push_back(format);
    return static_cast<int>(formats_.size()) - 1;
  }

  template <typename F>
  void for_each_cell(F&& f) {
    if (static_cast<std::size_t>(last_.row) >= rows_.size())
      rows_.resize(static_cast<std::size_t>(last_.row) + 1);
    for (int r = first_.row; r <= last_.row; ++r) {
      auto& row = rows_[static_cast<std::size_t>(r)];
      if (static_cast<std::size_t>(last_.column) >= row.size())
        row.resize(static_cast<std::size_t>(last_.column) + 1);
      for (int c = first_.column; c <= last_.column; ++c) f(row[static_cast<std::size_t>(c)]);
    }
  }

  Text write_xlsx(const std::string& path) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    if (!workbook) return "无法创建工作簿文件"_gbk;
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    // Formats by number format (0: none, i + 1: formats_[i]) and look, made as they are needed.
    std::vector<std::array<lxw_format*, kLooks>> formats(formats_.size() + 1);
    const auto format_of = [&](const Cell& cell, Look look) {
      const auto number = static_cast<std::size_t>(cell.format + 1);
      lxw_format*& format = formats[number][look];
      if (format || (number == 0 && look == kPlain)) return format;
      format = workbook_add_format(workbook);
      if (number > 0) format_set_num_format(format, formats_[number - 1].c_str());
      if (look == kHeader) format_set_bold(format);
      if (look == kAbolished || look == kNotFound) {
        format_set_pattern(format, LXW_PATTERN_SOLID);
        format_set_bg_color(format, look == kAbolished ? 0xFFC7CE : 0xD9D9D9);
      }
      return format;
    };
    const std::size_t status_column = readable_ ? set_look(sheet) : 0;
    lxw_error error = LXW_NO_ERROR;
    for (std::size_t r = 0; r < rows_.size() && error == LXW_NO_ERROR; ++r) {
      Look look = readable_ && r == 0 && header_ ? kHeader : kPlain;
      if (readable_ && r > 0 && status_column < rows_[r].size())
        look = look_of_status(marks_, rows_[r][status_column].value);
      for (std::size_t c = 0; c < rows_[r].size() && error == LXW_NO_ERROR; ++c) {
        const Cell& cell = rows_[r][c];
        lxw_format* format = format_of(cell, look);
        auto row = static_cast<lxw_row_t>(r);
        auto col = static_cast<lxw_col_t>(c);
        if (!cell.value.empty()) {
          error = worksheet_write_string(sheet, row, col, cell.value.c_str(), format);
        } else if (cell.written || cell.format >= 0) {
          error = worksheet_write_blank(sheet, row, col, format);
        }
      }
    }
    errno = 0;
    lxw_error closed = workbook_close(workbook);  // frees the workbook in every case
    const int system_error = errno;
    if (error == LXW_NO_ERROR) error = closed;
    // A failed file operation says why in the system's words (a full disk, a size limit, ...).
    if (error == LXW_ERROR_ZIP_FILE_OPERATION && system_error != 0) {
      return "写入工作簿失败："_gbk + describe_file_error(system_error);
    }
    if (error != LXW_NO_ERROR) return "写入工作簿失败："_gbk + lxw_strerror(error);
    return {};
  }

  // The header row (the first, when it holds a cell) bold, frozen and with a filter over the
  // columns written; every column as wide as its widest cell, within a cap. Returns the column
  // headed 是否作废, or past the last.
  std::size_t set_look(lxw_worksheet* sheet) {
    // Widths in characters of the default font (display_width: East Asian wide ones count two).
    constexpr int kCap = 60;
    constexpr std::uint8_t kPaperA4 = 9;
    constexpr double kMinimum = LXW_DEF_COL_WIDTH, kMargin = 2, kFilterButton = 2;
    std::size_t columns = 0;
    for (const auto& row : rows_) columns = std::max(columns, row.size());
    header_ = !rows_.empty() && std::any_of(rows_[0].begin(), rows_[0].end(), [](const Cell& c) {
      return c.written || c.format >= 0;
    });
    std::vector<double> widths(columns, 0);
    for (std::size_t r = 0; r < rows_.size(); ++r) {
      const double extra = r == 0 && header_ ? kMargin + kFilterButton : kMargin;
      for (std::size_t c = 0; c < rows_[r].size(); ++c) {
        if (rows_[r][c].value.empty()) continue;
        widths[c] = std::max(widths[c], display_width(rows_[r][c].value, kCap) + extra);
      }
    }
    for (std::size_t c = 0; c < columns; ++c) {
      worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                           std::clamp(widths[c], kMinimum, double{kCap}), nullptr);
    }
    // Printed: landscape A4, the columns on one page's width, as many pages long as it takes.
    worksheet_set_landscape(sheet);
    worksheet_set_paper(sheet, kPaperA4);
    worksheet_fit_to_pages(sheet, 1, 0);
    if (!header_) return columns;
    worksheet_repeat_rows(sheet, 0, 0);  // the header on every printed page
    worksheet_freeze_panes(sheet, 1, 0);
    worksheet_autofilter(sheet, 0, 0, static_cast<lxw_row_t>(rows_.size() - 1),
                         static_cast<lxw_col_t>(columns - 1));
    const auto status = std::find_if(rows_[0].begin(), rows_[0].end(),
                                     [](const Cell& c) { return c.value == "是否作废"; });
    return static_cast<std::size_t>(status - rows_[0].begin());
  }

  const bool readable_;
  const RowMarks marks_;
  bool application_ = false;
  bool header_ = false;
  bool workbook_ = false;
  bool worksheet_ = false;
  std::string range_start_, range_end_;
  bool has_range_ = false;
  Position first_{0, 0}, last_{0, 0};
  std::vector<std::vector<Cell>> rows_;
  std::vector<std::string> formats_;
  std::string last_format_;  // GBK, and its index in formats_ (-1: none yet)
  int last_format_index_ = -1;
  std::set<int> cut_rows_;
};

}  // namespace

SaveResult write_rows(WorkbookWriter& writer, const WorkbookRow& header, int row_count,
                      const std::function<WorkbookRow(int row)>& row, const Text& path,
                      const std::function<void()>& before_row) {
  const auto put = [&](const WorkbookRow& cells, int sheet_row) {
    for (std::size_t c = 0; c < cells.size(); ++c) {
      const std::string at = column_letters(c) + std::to_string(sheet_row);
      writer.set_range_start(at);
      writer.set_range_end(at);
      writer.set_number_format("@");
      writer.set_value(cells[c]);
    }
  };
  writer.create_application();
  writer.create_workbook();
  writer.activate();
  writer.set_current_worksheet(1);
  put(header, 1);
  for (int k = 0; k < row_count; ++k) {
    if (before_row) before_row();
    put(row(k), k + 2);
  }
  SaveResult result = writer.save_as(path);
  writer.close_workbook();
  writer.release_workbook();
  writer.quit_application();
  writer.release_application();
  return result;
}

std::unique_ptr<WorkbookWriter> make_xlsx_workbook_writer(WorkbookLook look, RowMarks marks) {
  return std::make_unique<XlsxWorkbookWriter>(look, std::move(marks));
}

}  // namespace stdlookup::workbook
