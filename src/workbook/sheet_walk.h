// One walk over a worksheet's rows and cells, for every reader and editor of ours: the list
// reader and the update see the same cells, numbered and resolved the same way.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "workbook/cell.h"
#include "workbook/package.h"
#include "workbook/xml.h"

namespace stdlookup::workbook {

// Where a row or cell lies beyond the sheet (a reference past XFD1048576, or none that reads).
inline constexpr std::size_t kBeyondRow = kSheetRows + 1;

// A cell as the walk finds it. Rows and cells may skip empty ones: their references say where
// they go, and a missing reference means the next.
struct SheetCell {
  std::size_t row = 0;                          // 1-based; kBeyondRow beyond the sheet
  std::size_t column = 0;                       // 0-based; kSheetColumns beyond the sheet
  std::size_t begin = 0, tag_end = 0, end = 0;  // the <c> element and its start tag
  int style = -1;                               // its s, -1 when none
  bool number = false;                          // a number's value (t absent or "n")
  bool formula = false, shared_master = false;
  std::optional<Area> array_formula;  // the cells an array or data table formula here fills
  // What the cell shows unformatted (a shared or inline string, or the value), cut to
  // kCellBytes; only for a cell the visitor wants.
  std::string text;
};

class SheetVisitor {
 public:
  virtual ~SheetVisitor() = default;
  // Whether the text of the cell at `row` and `column` is wanted: only then is it resolved.
  virtual bool wants(std::size_t row, std::size_t column) = 0;
  virtual void cell(SheetCell& cell) = 0;
  // A row (1-based number, kBeyondRow beyond the sheet) opens and closes.
  virtual void row(const XmlElement&, std::size_t) {}
  virtual void end_row(const XmlElement&) {}
  // The elements outside the rows and their cells, by depth (0: the root).
  virtual void element(const XmlElement&, std::size_t) {}
  virtual void end_element(const XmlElement&, std::size_t) {}
  // A cell whose text is not UTF-8.
  virtual void damaged(std::string why) = 0;
};

// Feeds a visitor from the reader's events over a sheet part.
class SheetWalk final : public XmlHandler {
 public:
  SheetWalk(const SharedStrings& strings, SheetVisitor& visitor)
      : strings_(strings), visitor_(visitor) {}

  void open(const XmlElement& element) override;
  void close(const XmlElement& element) override;
  void text(std::string_view text) override;

 private:
  void open_cell(const XmlElement& element);
  void open_in_cell(const XmlElement& element);
  void close_cell(const XmlElement& element);

  const SharedStrings& strings_;
  SheetVisitor& visitor_;
  std::size_t depth_ = 0;
  bool in_data_ = false, in_row_ = false, in_cell_ = false, wanted_ = false;
  bool in_value_ = false, in_inline_ = false;
  std::size_t next_row_ = 1, next_column_ = 0;
  SheetCell cell_;
  std::string type_, value_;
  StringItem inline_;
};

// Walks a sheet held whole.
Status walk_sheet(std::string_view sheet, const SharedStrings& strings, SheetVisitor& visitor);

}  // namespace stdlookup::workbook
