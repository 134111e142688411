// A forward-only reader of the XML of a workbook's parts over libexpat, fed in chunks as they
// inflate, namespaces resolved. It holds no more than one tag (at most kTagBytes) at a time,
// however large the part: texts go to the handler as they arrive.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "runtime/i18n.h"
#include "workbook/result.h"

struct XML_ParserStruct;

namespace stdlookup::workbook {

inline constexpr const char* kDamaged = tr_noop("not a readable workbook (damaged?)");

// The namespaces of Strict Open XML, which the editors refuse, all start so.
inline bool is_strict(std::string_view uri) {
  return uri.starts_with("http://purl.oclc.org/ooxml/");
}

// An element as reported: its tag lies at [begin, end) of all the input fed. At the close of a
// self-closing element both are where its one tag ends.
struct XmlElement {
  std::string_view name, uri, prefix;  // the local name; its namespace and prefix, "" for none
  std::size_t begin = 0, end = 0;
  const char* const* attributes = nullptr;  // while open() runs: libexpat's names and values

  // An attribute's value, "" when absent; one without a prefix is in no namespace.
  std::string_view attribute(std::string_view local) const { return attribute({}, local); }
  std::string_view attribute(std::string_view in, std::string_view local) const;
};

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void open(const XmlElement& element) = 0;
  // A self-closing element is closed at once.
  virtual void close(const XmlElement&) {}
  // Character data, references resolved, in as many pieces as it arrives.
  virtual void text(std::string_view) {}
};

class XmlReader {
 public:
  static constexpr std::size_t kTagBytes = 1 << 20;

  explicit XmlReader(XmlHandler& handler);
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  // Fails (kDamaged) once the input is not the XML this reads: not well-formed with its
  // namespaces, a document type declaration (whose entities could expand without bound), or a
  // tag, comment or other markup over kTagBytes.
  Status feed(std::string_view chunk);
  // Fails when the input ended inside the document.
  Status finish();

 private:
  struct Events;
  struct Free {
    void operator()(XML_ParserStruct* parser) const;
  };
  Status parse(std::string_view bytes, bool last);

  XmlHandler& handler_;
  std::unique_ptr<XML_ParserStruct, Free> parser_;
  std::size_t fed_ = 0, settled_ = 0;  // bytes fed; where the last event ended
  bool failed_ = false;
};

}  // namespace stdlookup::workbook
