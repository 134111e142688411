// Workbook packages through libzip, each part inflated in chunks into the XML reader: what a part
// holds is measured as it inflates, never taken from the zip directory.
#include "workbook/package.h"

#include <algorithm>
#include <functional>
#include <map>

namespace stdlookup::workbook {

std::string inflate_part(zip_t* archive, const std::string& name, std::uint64_t limit,
                         const std::function<bool(std::string_view)>& chunk, bool* missing) {
  zip_int64_t index = zip_name_locate(archive, name.c_str(), 0);
  if (index < 0) {
    if (missing != nullptr) *missing = true;
    return tr(kDamaged);
  }
  Entry entry(zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0), &zip_fclose);
  if (!entry) return tr(kDamaged);
  char buffer[65536];
  std::uint64_t total = 0;
  for (;;) {
    const zip_int64_t n = zip_fread(entry.get(), buffer, sizeof buffer);
    if (n < 0) return tr(kDamaged);
    if (n == 0) break;
    total += static_cast<std::uint64_t>(n);
    if (total > limit) {
      return tr("a part of the workbook inflates to more than {1} MiB (a zip bomb?)",
                {std::to_string(limit >> 20)});
    }
    if (!chunk(std::string_view(buffer, static_cast<std::size_t>(n)))) return tr(kDamaged);
  }
  return {};
}

std::string scan_part(zip_t* archive, const std::string& name, std::uint64_t limit,
                      XmlReader& reader, bool* missing) {
  std::string failure = inflate_part(
      archive, name, limit, [&](std::string_view chunk) { return reader.feed(chunk).ok(); },
      missing);
  return failure.empty() ? reader.finish().error() : failure;
}

std::string read_part(zip_t* archive, const std::string& name, std::uint64_t limit,
                      std::string& content, bool* missing) {
  content.clear();
  return inflate_part(
      archive, name, limit,
      [&](std::string_view chunk) {
        content.append(chunk);
        return true;
      },
      missing);
}

std::uint64_t part_limit(std::size_t workbook_bytes) {
  return std::min(kPartBytes, std::max(kSmallPartBytes, kInflationRatio * workbook_bytes));
}

Archive open_archive(std::string_view bytes, std::string& error) {
  // Encrypted workbooks are OLE compound files, not zip archives.
  if (bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
    error = tr("protected by a password (or an old .xls): save it as .xlsx without one");
    return Archive(nullptr, &zip_discard);
  }
  zip_error_t zip_error;
  zip_error_init(&zip_error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zip_error);
  Archive archive(
      source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &zip_error) : nullptr,
      &zip_discard);
  zip_error_fini(&zip_error);
  if (!archive) {
    if (source != nullptr) zip_source_free(source);
    error = tr(kDamaged);
  }
  return archive;
}

namespace {

// Calls `found` for each element opened.
class OpenedElements final : public XmlHandler {
 public:
  explicit OpenedElements(std::function<void(const XmlElement&)> found)
      : found_(std::move(found)) {}
  void open(const XmlElement& element) override { found_(element); }

 private:
  std::function<void(const XmlElement&)> found_;
};

// The namespaces of relationship ids (r:id), transitional and Strict.
constexpr std::string_view kRelationships[] = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
    "http://purl.oclc.org/ooxml/officeDocument/relationships"};

}  // namespace

std::vector<SheetEntry> sheets_of(zip_t* archive, std::uint64_t limit) {
  std::vector<SheetEntry> sheets;
  std::map<std::string, std::size_t> ids;  // the first sheet of each relationship id
  OpenedElements book([&](const XmlElement& element) {
    if (element.name != "sheet") return;
    std::string_view id;
    for (std::string_view uri : kRelationships)
      if (id.empty()) id = element.attribute(uri, "id");
    ids.emplace(id, sheets.size());
    sheets.push_back({std::string(element.attribute("name")), {}});
  });
  XmlReader book_reader(book);
  if (!scan_part(archive, "xl/workbook.xml", limit, book_reader).empty()) return {};
  OpenedElements rels([&](const XmlElement& element) {
    if (element.name != "Relationship") return;
    const auto at = ids.find(std::string(element.attribute("Id")));
    SheetEntry* sheet = at == ids.end() ? nullptr : &sheets[at->second];
    const std::string target(element.attribute("Target"));
    if (sheet != nullptr && sheet->part.empty() && !target.empty())
      sheet->part = target.starts_with('/') ? target.substr(1) : "xl/" + target;
  });
  XmlReader rels_reader(rels);
  scan_part(archive, "xl/_rels/workbook.xml.rels", limit, rels_reader);
  // Without its relationship a sheet is where workbooks keep it.
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    if (sheets[i].part.empty())
      sheets[i].part = "xl/worksheets/sheet" + std::to_string(i + 1) + ".xml";
  }
  return sheets;
}

std::string first_sheet_part(zip_t* archive, std::uint64_t limit) {
  const std::vector<SheetEntry> sheets = sheets_of(archive, limit);
  return sheets.empty() ? std::string() : sheets.front().part;
}

}  // namespace stdlookup::workbook
