// The XML reader of workbook parts: names in their namespaces, where each tag lies however the
// part arrives in pieces, what it refuses, and Strict Open XML known by its namespace.
#include <gtest/gtest.h>

#include <string>

#include "workbook/package.h"
#include "workbook/sheet_edit.h"
#include "workbook/xml.h"

namespace stdlookup::workbook {
namespace {

// The events as " {namespace}prefix:name r=… id=…", text as it is, "/" for an end tag and "/>"
// for the close of a self-closing element; each tag checked to lie where it is said to.
class Events final : public XmlHandler {
 public:
  explicit Events(std::string_view xml) : xml_(xml) {}
  std::string log;

  void open(const XmlElement& element) override {
    const std::string_view tag = xml_.substr(element.begin, element.end - element.begin);
    EXPECT_TRUE(tag.starts_with("<" + qualified(element)) && tag.ends_with(">")) << tag;
    log += " {" + std::string(element.uri) + "}" + qualified(element);
    if (const std::string_view r = element.attribute("r"); !r.empty())
      log += " r=" + std::string(r);
    if (const std::string_view id = element.attribute("R", "id"); !id.empty())
      log += " id=" + std::string(id);
  }
  void close(const XmlElement& element) override {
    const std::string_view tag = xml_.substr(element.begin, element.end - element.begin);
    EXPECT_TRUE(tag == "</" + qualified(element) + ">" ||
                (tag.empty() && xml_.substr(element.end - 2, 2) == "/>"))
        << tag;
    log += tag.empty() ? "/>" : " /";
  }
  void text(std::string_view text) override { log += text; }

 private:
  static std::string qualified(const XmlElement& element) {
    return element.prefix.empty() ? std::string(element.name)
                                  : std::string(element.prefix) + ":" + std::string(element.name);
  }
  std::string_view xml_;
};

Status read(std::string_view xml, std::size_t chunk, XmlHandler& handler) {
  XmlReader reader(handler);
  for (std::size_t at = 0; at < xml.size(); at += chunk) {
    if (Status fed = reader.feed(xml.substr(at, chunk)); !fed.ok()) return fed;
  }
  return reader.finish();
}

TEST(XmlReader, NamesInTheirNamespacesAndTagsWhereTheyLieInAnyPieces) {
  const std::pair<std::string, std::string> cases[] = {
      // Prefixed elements, as some producers write them; r:id known by its namespace.
      {R"(<x:worksheet xmlns:x="S" xmlns:rel="R"><x:sheetData><x:row r="1"><x:c rel:id="a"/>)"
       R"(</x:row></x:sheetData></x:worksheet>)",
       " {S}x:worksheet {S}x:sheetData {S}x:row r=1 {S}x:c id=a/> / / /"},
      // The default namespace; "r:" bound elsewhere is no relationship id; references resolved.
      {R"(<?xml version="1.0"?><worksheet xmlns="S" xmlns:r="Q"><row r="2" r:id="b">a&amp;)"
       R"(<![CDATA[<c>]]>&#x4E2D;<!-- - --><c/></row></worksheet>)",
       " {S}worksheet {S}row r=2a&<c>中 {S}c/> / /"},
      {"<sst>\r\n<si><t xml:space=\"preserve\"> x </t></si></sst>", " {}sst\n {}si {}t x  / / /"},
  };
  for (const auto& [xml, log] : cases) {
    for (std::size_t chunk : {xml.size(), std::size_t{1}, std::size_t{7}}) {
      Events events(xml);
      EXPECT_TRUE(read(xml, chunk, events).ok()) << xml;
      EXPECT_EQ(events.log, log) << chunk;
    }
  }
}

TEST(XmlReader, RefusesWhatCouldExpandOrGrowWithoutBound) {
  const std::string huge(XmlReader::kTagBytes, 'x');
  const std::pair<std::string, bool> cases[] = {
      {"<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>", false},
      {"<!DOCTYPE a><a/>", false},
      {"<a b=\"" + huge + "\"/>", false},
      {"<a><!--" + huge + "--></a>", false},
      {"<a><b></a></b>", false},
      {"<x:a/>", false},
      {"<a>" + huge + huge + "</a>", true},  // text goes on as it arrives
  };
  for (const auto& [xml, read_ok] : cases) {
    for (std::size_t chunk : {xml.size(), std::size_t{4096}}) {
      Events events(xml);
      const Status read_as = read(xml, chunk, events);
      EXPECT_EQ(read_as.ok(), read_ok) << xml.substr(0, 20);
      EXPECT_EQ(read_as.error(), read_ok ? std::string() : tr(kDamaged));
    }
  }
}

TEST(XmlReader, StrictOpenXmlIsKnownByTheNamespaceOfItsElements) {
  const std::string strict = "http://purl.oclc.org/ooxml/spreadsheetml/main";
  const std::pair<std::string, bool> roots[] = {
      {"x:R xmlns:x=\"" + strict + "\"", true},
      {"R xmlns=\"" + strict + "\"", true},
      {"R xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:s=\"" + strict +
           "\"",
       false},
  };
  for (const auto& [root, is_strict] : roots) {
    const auto part = [&](const std::string& name, const std::string& content) {
      std::string start = root;
      start.replace(start.find('R'), 1, name);
      return "<" + start + ">" + content + "</" + start.substr(0, start.find(' ')) + ">";
    };
    const SheetMap map =
        map_sheet(part("worksheet", "<sheetData/>"), SharedStrings(), StyleInfo(), 1, 0);
    EXPECT_EQ(map.error.find("Strict") != std::string::npos, is_strict) << map.error;
    StylesEditor styles;
    const std::string error = styles.load(part("styleSheet",
                                               "<fonts><font/></fonts><fills><fill/></fills>"
                                               "<cellXfs><xf/></cellXfs>"));
    EXPECT_EQ(error.find("Strict") != std::string::npos, is_strict) << error;
  }
}

}  // namespace
}  // namespace stdlookup::workbook
