// The parts of a workbook package as the readers of lists and the update of a user's own
// workbook see them: bounded inflation, the book and its sheets, the shared strings.
#pragma once

#include <zip.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/i18n.h"
#include "workbook/cell.h"
#include "workbook/result.h"
#include "workbook/xml.h"

namespace stdlookup::workbook {

using Archive = std::unique_ptr<zip_t, decltype(&zip_discard)>;
using Entry = std::unique_ptr<zip_file_t, decltype(&zip_fclose)>;

// A workbook file is read whole, up to this.
inline constexpr std::uint64_t kWorkbookFileBytes = 64u << 20;
// A part inflates to at most this, and to at most kInflationRatio times the workbook's size (but
// kSmallPartBytes always).
inline constexpr std::uint64_t kPartBytes = 128u << 20;
inline constexpr std::uint64_t kSmallPartBytes = 8u << 20;
inline constexpr std::uint64_t kInflationRatio = 100;
// The shared strings of a workbook: at most so many, so many bytes together.
inline constexpr std::size_t kSharedStrings = 2'000'000;
inline constexpr std::size_t kSharedStringBytes = 64u << 20;

// What a part may inflate to: a few MiB always, more as the workbook is larger.
std::uint64_t part_limit(std::size_t workbook_bytes);

// The workbook read already as a read-only archive over `bytes` (which must outlive it); an
// encrypted workbook or an .xls is said so.
Result<Archive> open_archive(std::string_view bytes);

bool has_part(zip_t* archive, const std::string& name);
// Inflates the part `name` chunk by chunk, measured as it inflates, never taken from the zip
// directory; a missing part is damage (kDamaged).
Status inflate_part(zip_t* archive, const std::string& name, std::uint64_t limit,
                    const std::function<bool(std::string_view)>& chunk);
Status scan_part(zip_t* archive, const std::string& name, std::uint64_t limit, XmlReader& reader);
Result<std::string> read_part(zip_t* archive, const std::string& name, std::uint64_t limit);

struct SheetEntry {
  std::string name, part;
};
// What xl/workbook.xml and its relationships say: the sheets in their order, each with its part
// name, the date system, where the styles and the calculation chain are.
struct Book {
  std::vector<SheetEntry> sheets;
  bool date1904 = false;
  bool strict = false;  // Strict Open XML
  std::string styles_part = "xl/styles.xml";
  std::string calc_chain_part;  // "" when it has none
  std::string relations;        // xl/_rels/workbook.xml.rels as it is, "" when absent
};
Result<Book> read_book(zip_t* archive, std::uint64_t limit);

// The text of string items (<si> of the shared strings, <is> of a cell): <t> directly inside or
// inside a rich-text run <r>, phonetic runs (<rPh>) left out. At most kCellBytes are kept.
class StringItem {
 public:
  void open(std::string_view name) {
    if (name == "rPh") ++phonetic_;
    if (name == "t" && phonetic_ == 0) in_text_ = true;
  }
  void close(std::string_view name) {
    if (name == "rPh" && phonetic_ > 0) --phonetic_;
    if (name == "t") in_text_ = false;
  }
  void text(std::string_view text) {
    if (in_text_) append_capped(text_, text);
  }
  std::string take() {
    phonetic_ = 0, in_text_ = false;
    return std::move(text_);
  }
  void clear() { text_.clear(), phonetic_ = 0, in_text_ = false; }

  // A byte more than a cell keeps, for cut_cell to see where a character starts.
  static void append_capped(std::string& to, std::string_view text) {
    if (to.size() <= kCellBytes) to.append(text.substr(0, kCellBytes + 1 - to.size()));
  }

 private:
  std::string text_;
  int phonetic_ = 0;
  bool in_text_ = false;
};

// The shared strings, one buffer and where each ends, bounded by count and bytes.
class SharedStrings final : public XmlHandler {
 public:
  std::string error;  // why there are more than a list of ours holds

  void open(const XmlElement& element) override {
    if (element.name == "si") {
      in_item_ = true;
      item_.clear();
    } else if (in_item_) {
      item_.open(element.name);
    }
  }
  void close(const XmlElement& element) override {
    if (element.name != "si") {
      if (in_item_) item_.close(element.name);
      return;
    }
    in_item_ = false;
    const std::string text = item_.take();
    if (ends_.size() == kSharedStrings || bytes_.size() + text.size() > kSharedStringBytes) {
      if (error.empty()) error = tr("too many shared strings for a list of ours");
      return;
    }
    bytes_ += text;
    ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
  }
  void text(std::string_view text) override {
    if (in_item_) item_.text(text);
  }

  // The string at `index`; empty past the end.
  std::string_view at(std::size_t index) const {
    if (index >= ends_.size()) return {};
    const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(bytes_).substr(begin, ends_[index] - begin);
  }

 private:
  std::string bytes_;
  std::vector<std::uint32_t> ends_;
  StringItem item_;
  bool in_item_ = false;
};

// A workbook's shared strings; none when it has no such part.
Result<SharedStrings> read_shared_strings(zip_t* archive, std::uint64_t limit);

}  // namespace stdlookup::workbook
