// Value types shared by the whole system: texts, byte strings and arrays of texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace stdlookup {

// A text is a byte string in the ANSI code page (GBK). The empty text doubles as the absent
// one. Texts never hold a zero byte: whatever produces one from raw bytes (to_text) cuts there.
using Text = std::string;

// A length-counted byte string that may hold zero bytes; empty is the absent value.
struct Bytes {
  std::string data;

  Bytes() = default;
  explicit Bytes(std::string bytes) : data(std::move(bytes)) {}
  Bytes(const void* bytes, std::size_t count) : data(static_cast<const char*>(bytes), count) {}

  std::size_t size() const { return data.size(); }
  bool empty() const { return data.empty(); }
  std::string_view view() const { return data; }
  friend bool operator==(const Bytes&, const Bytes&) = default;
};

// The result of split_text. Elements are read 1-based: an index below 1 is runtime error 4,
// one above the count runtime error 1, and both end the program.
class TextArray {
 public:
  TextArray() = default;
  explicit TextArray(std::vector<Text> items) : items_(std::move(items)) {}

  int count() const { return static_cast<int>(items_.size()); }
  const Text& operator[](int index) const;

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  const std::vector<Text>& items() const { return items_; }

 private:
  std::vector<Text> items_;
};

}  // namespace stdlookup
