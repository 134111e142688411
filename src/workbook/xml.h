// A forward-only reader of the simple XML a workbook's parts are made of, fed in chunks as they
// inflate. It holds no more than one tag (at most kTagBytes) and a few bytes of text at a time,
// however large the part: texts go to the handler as they arrive.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace stdlookup::workbook {

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  // `name` is the local name (without a prefix); `tag` the text between "<" and ">", for
  // attribute_of. A self-closing element is opened and closed at once.
  virtual void open(std::string_view name, std::string_view tag) = 0;
  virtual void close(std::string_view name) = 0;
  // Character data with its references resolved, in as many pieces as it arrives.
  virtual void text(std::string_view text) = 0;
};

// The value of attribute `name` (as written, prefix included) in `tag`, references resolved.
std::string attribute_of(std::string_view tag, std::string_view name);

class XmlScanner {
 public:
  static constexpr std::size_t kTagBytes = 1 << 20;

  explicit XmlScanner(XmlHandler& handler) : handler_(handler) {}
  // False once the input is not the XML this reads: a document type declaration (whose
  // entities could expand without bound) or a tag, comment or CDATA section over kTagBytes.
  bool feed(std::string_view chunk);
  // False when the input ended inside markup.
  bool finish();
  // While open() or close() runs: where the tag reported lies in all the input fed, from its "<"
  // to just past its ">".
  std::size_t markup_begin() const { return markup_begin_; }
  std::size_t markup_end() const { return markup_end_; }

 private:
  XmlHandler& handler_;
  std::string pending_;
  std::size_t consumed_ = 0;  // input bytes before pending_
  std::size_t markup_begin_ = 0, markup_end_ = 0;
  bool failed_ = false;
};

// Appends `raw` to `out` with the predefined and numeric character references resolved.
void append_resolved(std::string_view raw, std::string& out);

}  // namespace stdlookup::workbook
