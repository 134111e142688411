// The XML reader over libexpat, which reports names as "namespace␟local␟prefix".
#include "workbook/xml.h"

#include <expat.h>

#include <cstring>
#include <type_traits>

namespace stdlookup::workbook {
namespace {

static_assert(std::is_same_v<XML_Char, char>, "libexpat built for UTF-8 names");
constexpr char kSeparator = '\x1F';  // a character no XML name or namespace holds

struct Name {
  std::string_view uri, local, prefix;
};

// "namespace␟local␟prefix", "namespace␟local" (no prefix) or "local" (no namespace).
Name split(std::string_view triplet) {
  const std::size_t first = triplet.find(kSeparator);
  if (first == std::string_view::npos) return {{}, triplet, {}};
  const std::string_view rest = triplet.substr(first + 1);
  const std::size_t second = rest.find(kSeparator);
  return {triplet.substr(0, first), rest.substr(0, second),
          second == std::string_view::npos ? std::string_view() : rest.substr(second + 1)};
}

}  // namespace

std::string_view XmlElement::attribute(std::string_view in, std::string_view local) const {
  for (const char* const* at = attributes; at != nullptr && *at != nullptr; at += 2) {
    // Most attributes have no namespace: their name is the local name as it is, compared
    // without measuring it first (a sheet's cells ask for three of them each).
    const bool found = in.empty() ? std::strncmp(at[0], local.data(), local.size()) == 0 &&
                                        at[0][local.size()] == '\0'
                                  : split(at[0]).uri == in && split(at[0]).local == local;
    if (found) return at[1];
  }
  return {};
}

struct XmlReader::Events {
  static XmlReader& reader(void* data) { return *static_cast<XmlReader*>(data); }
  static void refuse(XmlReader& reader) {
    reader.failed_ = true;
    XML_StopParser(reader.parser_.get(), XML_FALSE);
  }
  // Where the markup or text being reported lies, the input settled up to its end; false (the
  // reading stopped) for markup over kTagBytes, and for what follows a refusal.
  static bool settle(XmlReader& reader, XmlElement& at) {
    at.begin = static_cast<std::size_t>(XML_GetCurrentByteIndex(reader.parser_.get()));
    at.end = at.begin + static_cast<std::size_t>(XML_GetCurrentByteCount(reader.parser_.get()));
    reader.settled_ = at.end;
    if (at.end - at.begin > kTagBytes) refuse(reader);
    return !reader.failed_;
  }
  static XmlElement named(const XML_Char* triplet) {
    const Name name = split(triplet);
    XmlElement element;
    element.name = name.local, element.uri = name.uri, element.prefix = name.prefix;
    return element;
  }
  static void start(void* data, const XML_Char* name, const XML_Char** attributes) {
    XmlElement opened = named(name);
    opened.attributes = attributes;
    if (settle(reader(data), opened)) reader(data).handler_.open(opened);
  }
  static void end(void* data, const XML_Char* name) {
    XmlElement closed = named(name);
    if (settle(reader(data), closed)) reader(data).handler_.close(closed);
  }
  static void text(void* data, const XML_Char* text, int length) {
    XmlElement at;
    if (settle(reader(data), at))
      reader(data).handler_.text(std::string_view(text, static_cast<std::size_t>(length)));
  }
  // Comments, processing instructions, the XML declaration, blanks outside the root.
  static void other(void* data, const XML_Char*, int) {
    XmlElement at;
    settle(reader(data), at);
  }
  static void doctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    refuse(reader(data));
  }
  static void entity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                     const XML_Char*, const XML_Char*, const XML_Char*) {
    refuse(reader(data));
  }
};

void XmlReader::Free::operator()(XML_ParserStruct* parser) const {
  XML_ParserFree(parser);
}

XmlReader::XmlReader(XmlHandler& handler)
    : handler_(handler), parser_(XML_ParserCreateNS(nullptr, kSeparator)) {
  XML_Parser parser = parser_.get();
  failed_ = parser == nullptr;
  if (failed_) return;
  XML_SetUserData(parser, this);
  XML_SetReturnNSTriplet(parser, XML_TRUE);
  XML_SetElementHandler(parser, Events::start, Events::end);
  XML_SetCharacterDataHandler(parser, Events::text);
  XML_SetDefaultHandlerExpand(parser, Events::other);
  XML_SetStartDoctypeDeclHandler(parser, Events::doctype);
  XML_SetEntityDeclHandler(parser, Events::entity);
}

Status XmlReader::parse(std::string_view bytes, bool last) {
  // In slices, so that libexpat holds at most an over-long tag and a slice when it is refused.
  constexpr std::size_t kSlice = 1 << 16;
  std::size_t at = 0;
  do {
    const std::string_view slice = bytes.substr(at, kSlice);
    at += slice.size();
    failed_ = failed_ || XML_Parse(parser_.get(), slice.data(), static_cast<int>(slice.size()),
                                   last && at == bytes.size()) != XML_STATUS_OK;
    fed_ += slice.size();
    failed_ = failed_ || fed_ - settled_ > kTagBytes;
  } while (!failed_ && at < bytes.size());
  return failed_ ? failure(tr(kDamaged)) : Status();
}

Status XmlReader::feed(std::string_view chunk) {
  return parse(chunk, false);
}

Status XmlReader::finish() {
  return parse({}, true);
}

}  // namespace stdlookup::workbook
