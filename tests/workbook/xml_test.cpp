// The XML reader of workbook parts: names in their namespaces, where each tag lies however the
// part arrives in pieces, what it refuses, and Strict Open XML known by its namespace.
#include <gtest/gtest.h>

#include "workbook/package.h"
#include "workbook/sheet_edit.h"

namespace stdlookup::workbook {
namespace {

// " {namespace}prefix:name[r|r:id]" for each element, " /" for an end tag, "/>" for the close of
// a self-closing element, texts as they are; each tag checked to lie where it is said to.
class Events final : public XmlHandler {
 public:
  explicit Events(std::string_view xml) : xml_(xml) {}
  std::string log;

  void open(const XmlElement& element) override {
    const std::string_view start = xml_.substr(element.begin, element.end - element.begin);
    EXPECT_TRUE(start.starts_with("<" + qualified(element)) && start.ends_with(">")) << start;
    log += " {" + std::string(element.uri) + "}" + qualified(element) + "[" +
           std::string(element.attribute("r")) + "|" + std::string(element.attribute("R", "id")) +
           "]";
  }
  void close(const XmlElement& element) override {
    const std::string_view end = xml_.substr(element.begin, element.end - element.begin);
    EXPECT_TRUE(end == "</" + qualified(element) + ">" ||
                (end.empty() && xml_.substr(element.end - 2, 2) == "/>"))
        << end;
    log += end.empty() ? "/>" : " /";
  }
  void text(std::string_view text) override { log += text; }

 private:
  static std::string qualified(const XmlElement& at) {
    return (at.prefix.empty() ? "" : std::string(at.prefix) + ":") + std::string(at.name);
  }
  std::string_view xml_;
};

TEST(XmlReader, NamesTagsAndRefusalsAlikeInAnyPieces) {
  const std::string huge(XmlReader::kTagBytes, 'x'), refused = tr(kDamaged);
  const std::pair<std::string, std::string> cases[] = {
      // Prefixed, as some producers write sheets; r:id known by its namespace, not its prefix.
      {R"(<x:worksheet xmlns:x="S" xmlns:rel="R"><x:sheetData><x:row r="1"><x:c rel:id="a"/>)"
       R"(</x:row></x:sheetData></x:worksheet>)",
       " {S}x:worksheet[|] {S}x:sheetData[|] {S}x:row[1|] {S}x:c[|a]/> / / /"},
      {R"(<?xml version="1.0"?><worksheet xmlns="S" xmlns:r="Q"><row r="2" r:id="b">a&amp;)"
       R"(<![CDATA[<c>]]>&#x4E2D;<!-- - --><c/></row></worksheet>)",
       " {S}worksheet[|] {S}row[2|]a&<c>中 {S}c[|]/> / /"},
      {"<sst>\r\n<si><t xml:space=\"preserve\"> x </t></si></sst>",
       " {}sst[|]\n {}si[|] {}t[|] x  / / /"},
      // Text goes on as it arrives; what could expand or grow without bound is refused.
      {"<a>" + huge + huge + "</a>", " {}a[|]" + huge + huge + " /"},
      {"<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>", refused},
      {"<!DOCTYPE a><a/>", refused},
      {"<a b=\"" + huge + "\"/>", refused},
      {"<a><!--" + huge + "--></a>", refused},
      {"<a><b></a></b>", refused},
      {"<x:a/>", refused},
  };
  for (const auto& [xml, log] : cases) {
    // Whole, and in pieces of a byte (of a thousandth for the big ones).
    for (std::size_t chunk : {xml.size(), 1 + xml.size() / 1000}) {
      Events events(xml);
      XmlReader reader(events);
      Status read;
      for (std::size_t at = 0; at < xml.size() && read.ok(); at += chunk)
        read = reader.feed(std::string_view(xml).substr(at, chunk));
      if (read.ok()) read = reader.finish();
      EXPECT_EQ(read.ok() ? events.log : read.error(), log) << chunk << xml.substr(0, 20);
    }
  }
}

TEST(XmlReader, StrictOpenXmlIsKnownByTheNamespaceOfItsElements) {
  const std::string strict = "\"http://purl.oclc.org/ooxml/spreadsheetml/main\"",
                    transitional = "\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
  const std::pair<std::string, bool> roots[] = {
      {"x:worksheet xmlns:x=" + strict, true},
      {"worksheet xmlns=" + strict, true},
      // Transitional, Strict's namespace bound to a prefix it does not use.
      {"worksheet xmlns=" + transitional + " xmlns:s=" + strict, false},
  };
  for (const auto& [root, is_strict] : roots) {
    const std::string sheet = "<" + root + "><sheetData/></" + root.substr(0, root.find(' ')) + ">";
    const auto map = map_sheet(sheet, SharedStrings(), StyleInfo(), {}, 1, 0);
    EXPECT_EQ(map.error().find("Strict") != std::string::npos, is_strict) << map.error();
  }
}

}  // namespace
}  // namespace stdlookup::workbook
