// The cell styles of a workbook (styles.xml): which show dates, and clones of them with the
// highlight fill or a bold font, edited in place as the sheet is. Texts are UTF-8.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "workbook/result.h"

namespace stdlookup::workbook {

// What a cell's style says about it: its number format is a date's.
struct StyleInfo {
  std::vector<bool> date_style;  // by cellXfs index
  bool date1904 = false;
};

// styles.xml with cell styles cloned to carry the highlight fill or a bold font, each clone made
// once and one already there reused. The highlight's fill is ours alone: solid light yellow, its
// background colour (unseen under a solid fill) marking it and naming the fill the cell had, so
// that a later update can give a cell it highlighted its own look back.
class StylesEditor {
 public:
  // Whether the styles can be edited.
  Status load(std::string styles);
  StyleInfo info(bool date1904) const;
  int highlighted(int style);
  // The style a cell had before our highlight; `style` itself when it is not highlighted by us.
  int unhighlighted(int style);
  int bold(int style);
  bool changed() const { return changed_; }
  std::string result() const;

 private:
  struct Element {
    std::size_t begin = 0, end = 0;
  };
  struct List {
    bool found = false;
    std::size_t tag_begin = 0, tag_end = 0, close_begin = 0;
    std::string tag;
    std::vector<Element> items;
    std::vector<std::string> added;
    std::size_t size() const { return items.size() + added.size(); }
  };
  std::string item_text(const List& list, std::size_t index) const;
  int find_or_add(List& list, const std::string& text);

  std::string styles_;
  std::string prefix_;
  std::string root_open_, root_close_;  // the root's start and end tags
  List fonts_, fills_, xfs_;
  std::map<int, std::string> formats_;
  std::map<int, int> highlighted_, unhighlighted_, bold_;
  bool changed_ = false;
};

}  // namespace stdlookup::workbook
