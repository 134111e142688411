#include "lists/input.h"

#include <algorithm>

#include "lists/list_input.h"
#include "runtime/bounded_file.h"
#include "runtime/gbk.h"
#include "runtime/system.h"
#include "runtime/text.h"

namespace stdlookup::lists {

using namespace workbook;

std::string with_crlf(std::string_view text) {
  std::size_t bare = 0;  // LF without a CR before it: each gains one
  for (std::size_t i = 0; i < text.size(); ++i)
    bare += text[i] == '\n' && (i == 0 || text[i - 1] != '\r');
  std::string crlf;
  crlf.reserve(text.size() + bare);  // exactly: a list of hundreds of MiB is not copied twice
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n') crlf += '\r';
    crlf += text[i];
  }
  return crlf;
}

void GivenLines::add_utf8(std::string_view line) {
  const auto begin = static_cast<std::uint32_t>(bytes_.size());
  bytes_ += line;
  spans_.emplace_back(begin, static_cast<std::uint32_t>(bytes_.size()));
}

void GivenLines::take_gbk_text(Text text) {
  bytes_ = std::move(text);
  gbk_ = true;
  spans_.clear();
  // As split_text(text, "\r\n") finds them (stepping by characters), without a string each.
  const std::string_view all = bytes_;
  std::size_t pos = 0;
  while (pos < all.size()) {
    const int found = find_text(all, "\r\n", static_cast<int>(pos) + 1);
    const std::size_t end = found < 0 ? all.size() : static_cast<std::size_t>(found - 1);
    spans_.emplace_back(static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(end));
    if (found < 0) break;
    pos = end + 2;
  }
}

GivenLine GivenLines::operator[](std::size_t index) const {
  const auto [begin, end] = spans_[index];
  const std::string_view line = std::string_view(bytes_).substr(begin, end - begin);
  return gbk_ ? GivenLine{gbk_to_utf8(line), Text(line)}
              : GivenLine{std::string(line), utf8_to_gbk(line)};
}

Result<std::string> read_input_bytes(const std::string& file) {
  if (file.empty() || file == "-") return read_standard_input();
  std::string bytes;
  const std::string why = read_bounded_file(native_path(file), kListFileBytes, bytes);
  if (!why.empty()) return workbook::failure(why);
  return bytes;
}

Result<BatchInput> batch_input_of(std::string text) {
  BatchInput input;
  const auto encoding = encoding_of(text);
  if (!encoding.ok()) return encoding.failed();
  if (*encoding == TextEncoding::utf16le || *encoding == TextEncoding::utf16be) {
    auto utf8 = list_text_utf8(std::move(text));  // its mark becomes a UTF-8 one
    if (!utf8.ok()) return utf8.failed();
    text = std::move(*utf8);
  }

  // One copy at a time besides the list itself: a list of hundreds of MiB stays within a small
  // multiple of its size.
  const bool bom = std::string_view(text).substr(0, 3) == "\xEF\xBB\xBF";
  text = with_crlf(std::string_view(text).substr(bom ? 3 : 0));
  if (is_valid_utf8(text)) {
    // A MiB at a time, cut at line ends (character boundaries): the codec's own buffer is twice
    // what it is given.
    Text gbk;
    gbk.reserve(text.size());  // GBK is never longer than the UTF-8 it comes from
    const std::string_view all = text;
    for (std::size_t at = 0, end; at < all.size(); at = end) {
      end = all.find('\n', std::min(all.size(), at + (std::size_t{1} << 20)));
      end = end == std::string_view::npos ? all.size() : end + 1;
      gbk += utf8_to_gbk(all.substr(at, end - at));
    }
    text = std::move(gbk);
  } else {
    input.read_as_gbk = true;
  }
  input.lines.take_gbk_text(std::move(text));
  return input;
}

}  // namespace stdlookup::lists
