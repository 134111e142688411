// Reading the batch list as users have it: from a file or standard input, in UTF-8 with or
// without a byte-order mark, or in GBK (the encoding such lists are often saved in).
#pragma once

#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "runtime/types.h"
#include "workbook/result.h"

namespace stdlookup::lists {

using workbook::Result;
using workbook::Status;

// A list read whole is bounded; standard input too.
inline constexpr std::uint64_t kListFileBytes = 512u << 20;

// One line of a list: as the user sees it (UTF-8) and as it is looked up (GBK).
struct GivenLine {
  std::string shown;
  Text gbk;
};

// The lines of a list, kept as one buffer and where each line lies in it: a list of millions of
// short lines costs little more than its bytes. Lines are made into GivenLine as they are used.
class GivenLines {
 public:
  // A line of a workbook or CSV list, in UTF-8.
  void add_utf8(std::string_view line);
  // The lines of a plain list: GBK text with "\r\n" between lines, split as the window's batch
  // splits its edit box.
  void take_gbk_text(Text text);

  std::size_t size() const { return spans_.size(); }
  GivenLine operator[](std::size_t index) const;

  class iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = GivenLine;
    using difference_type = std::ptrdiff_t;
    iterator(const GivenLines& lines, std::size_t index) : lines_(&lines), index_(index) {}
    GivenLine operator*() const { return (*lines_)[index_]; }
    iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator==(const iterator& other) const { return index_ == other.index_; }

   private:
    const GivenLines* lines_;
    std::size_t index_;
  };
  iterator begin() const { return {*this, 0}; }
  iterator end() const { return {*this, size()}; }

 private:
  std::string bytes_;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> spans_;  // begin, end
  bool gbk_ = false;
};

struct BatchInput {
  GivenLines lines;
  bool read_as_gbk = false;
};

// A plain list from its bytes (read_input_bytes). UTF-16 with a byte-order mark is read too;
// bytes in none of the encodings are refused, never looked up.
Result<BatchInput> batch_input_of(std::string bytes);

// The whole content of `file` (standard input for "" or "-"), at most kListFileBytes. Only a
// regular file is opened by name: a folder, FIFO or device is refused before reading.
Result<std::string> read_input_bytes(const std::string& file);
// The platform part: standard input, in binary.
Result<std::string> read_standard_input();

// LF or CRLF line ends become CRLF; nothing else changes. Works on UTF-8 and GBK alike: neither
// has CR or LF inside a character.
std::string with_crlf(std::string_view text);

}  // namespace stdlookup::lists
