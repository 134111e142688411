// Workbook packages through libzip, each part inflated in chunks into the XML reader: what a part
// holds is measured as it inflates, never taken from the zip directory.
#include "workbook/package.h"

#include <algorithm>
#include <functional>
#include <map>

namespace stdlookup::workbook {

bool has_part(zip_t* archive, const std::string& name) {
  return zip_name_locate(archive, name.c_str(), 0) >= 0;
}

Status inflate_part(zip_t* archive, const std::string& name, std::uint64_t limit,
                    const std::function<bool(std::string_view)>& chunk) {
  const zip_int64_t index = zip_name_locate(archive, name.c_str(), 0);
  if (index < 0) return failure(tr(kDamaged));
  Entry entry(zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0), &zip_fclose);
  if (!entry) return failure(tr(kDamaged));
  char buffer[65536];
  std::uint64_t total = 0;
  for (;;) {
    const zip_int64_t n = zip_fread(entry.get(), buffer, sizeof buffer);
    if (n < 0) return failure(tr(kDamaged));
    if (n == 0) return {};
    total += static_cast<std::uint64_t>(n);
    if (total > limit) {
      return failure(tr("a part of the workbook inflates to more than {1} MiB (a zip bomb?)",
                        {std::to_string(limit >> 20)}));
    }
    if (!chunk(std::string_view(buffer, static_cast<std::size_t>(n)))) return failure(tr(kDamaged));
  }
}

Status scan_part(zip_t* archive, const std::string& name, std::uint64_t limit, XmlReader& reader) {
  Status fed;
  const Status inflated = inflate_part(archive, name, limit, [&](std::string_view chunk) {
    fed = reader.feed(chunk);
    return fed.ok();
  });
  if (!fed.ok()) return fed;
  if (!inflated.ok()) return inflated;
  return reader.finish();
}

Result<std::string> read_part(zip_t* archive, const std::string& name, std::uint64_t limit) {
  std::string content;
  // Room for what the directory says it holds, within the limit: a part grown chunk by chunk
  // is copied over and over.
  zip_stat_t stat;
  if (zip_stat(archive, name.c_str(), 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE))
    content.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(stat.size, limit)));
  const Status read = inflate_part(archive, name, limit, [&](std::string_view chunk) {
    content.append(chunk);
    return true;
  });
  if (!read.ok()) return read.failed();
  return content;
}

std::uint64_t part_limit(std::size_t workbook_bytes) {
  return std::min(kPartBytes, std::max(kSmallPartBytes, kInflationRatio * workbook_bytes));
}

Result<Archive> open_archive(std::string_view bytes) {
  // Encrypted workbooks are OLE compound files, not zip archives.
  if (bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
    return failure(tr("protected by a password (or an old .xls): save it as .xlsx without one"));
  zip_error_t zip_error;
  zip_error_init(&zip_error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zip_error);
  Archive archive(
      source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &zip_error) : nullptr,
      &zip_discard);
  zip_error_fini(&zip_error);
  if (!archive) {
    if (source != nullptr) zip_source_free(source);
    return failure(tr(kDamaged));
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

Status scan_elements(zip_t* archive, const std::string& name, std::uint64_t limit,
                     const std::function<void(const XmlElement&)>& found) {
  OpenedElements elements(found);
  XmlReader reader(elements);
  return scan_part(archive, name, limit, reader);
}

// The namespaces of relationship ids (r:id), transitional and Strict.
constexpr std::string_view kRelationships[] = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
    "http://purl.oclc.org/ooxml/officeDocument/relationships"};

// The part a relationship's target names, from the workbook's folder.
std::string part_of_target(std::string_view target) {
  return target.starts_with('/') ? std::string(target.substr(1)) : "xl/" + std::string(target);
}

// The sheets, the date system and Strict Open XML from xl/workbook.xml; `ids` the sheets'
// relationship ids.
Status read_workbook_part(zip_t* archive, std::uint64_t limit, Book& book,
                          std::map<std::string, std::size_t>& ids) {
  return scan_elements(archive, "xl/workbook.xml", limit, [&](const XmlElement& element) {
    if (element.name == "workbook") book.strict = is_strict(element.uri);
    if (element.name == "workbookPr") {
      const std::string_view value = element.attribute("date1904");
      book.date1904 = value == "1" || value == "true";
    }
    if (element.name != "sheet") return;
    std::string_view id;
    for (std::string_view uri : kRelationships)
      if (id.empty()) id = element.attribute(uri, "id");
    ids.emplace(id, book.sheets.size());  // the first sheet of each id
    book.sheets.push_back({std::string(element.attribute("name")), {}});
  });
}

}  // namespace

Result<Book> read_book(zip_t* archive, std::uint64_t limit) {
  Book book;
  std::map<std::string, std::size_t> ids;
  if (const Status read = read_workbook_part(archive, limit, book, ids); !read.ok())
    return read.failed();
  const std::string rels = "xl/_rels/workbook.xml.rels";
  if (has_part(archive, rels)) {
    auto relations = read_part(archive, rels, limit);
    if (!relations.ok()) return relations.failed();
    book.relations = std::move(*relations);
    OpenedElements found([&](const XmlElement& element) {
      if (element.name != "Relationship") return;
      const std::string_view type = element.attribute("Type"), target = element.attribute("Target");
      if (type.ends_with("/styles")) book.styles_part = part_of_target(target);
      if (type.ends_with("/calcChain")) book.calc_chain_part = part_of_target(target);
      const auto at = ids.find(std::string(element.attribute("Id")));
      SheetEntry* sheet = at == ids.end() ? nullptr : &book.sheets[at->second];
      if (sheet != nullptr && sheet->part.empty() && !target.empty())
        sheet->part = part_of_target(target);
    });
    XmlReader reader(found);
    if (Status read = reader.feed(book.relations); !read.ok()) return read.failed();
    if (Status read = reader.finish(); !read.ok()) return read.failed();
  }
  // Without its relationship a sheet is where workbooks keep it.
  for (std::size_t i = 0; i < book.sheets.size(); ++i) {
    if (book.sheets[i].part.empty())
      book.sheets[i].part = "xl/worksheets/sheet" + std::to_string(i + 1) + ".xml";
  }
  if (!book.calc_chain_part.empty() && !has_part(archive, book.calc_chain_part))
    book.calc_chain_part.clear();
  return book;
}

Result<SharedStrings> read_shared_strings(zip_t* archive, std::uint64_t limit) {
  SharedStrings strings;
  const std::string part = "xl/sharedStrings.xml";
  if (!has_part(archive, part)) return strings;
  XmlReader reader(strings);
  if (const Status read = scan_part(archive, part, limit, reader); !read.ok()) return read.failed();
  if (!strings.error.empty()) return failure(strings.error);
  return strings;
}

}  // namespace stdlookup::workbook
