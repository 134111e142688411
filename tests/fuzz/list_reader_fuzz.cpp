// The readers of lists and compared exports on any input: a workbook's bytes, a workbook made of
// any sheet and shared-strings XML, a CSV file, a JSON export. Whatever comes in, what they keep
// stays within the limits, and the XML reader sees the same document however it is chunked.
#include <fuzzer/FuzzedDataProvider.h>
#include <zip.h>

#include <string>
#include <vector>

#include "fuzz_check.h"
#include "lists/input.h"
#include "lists/list_input.h"
#include "runtime/text.h"
#include "workbook/xml.h"

using namespace stdlookup;
using namespace stdlookup::lists;

namespace {

void check_table(const workbook::Result<Table>& read, std::size_t picked, bool utf8) {
  if (!read.ok()) return;
  const Table& table = *read;
  FUZZ_CHECK(table.header.size() <= kSheetColumns && table.rows.size() < kSheetRows);
  std::size_t bytes = 0;
  for (const std::string& cell : table.header) bytes += cell.size();
  for (const auto& row : table.rows) {
    FUZZ_CHECK(row.size() == picked);
    for (const std::string& cell : row) {
      FUZZ_CHECK(cell.size() <= kCellBytes && (!utf8 || is_valid_utf8(cell)));
      bytes += cell.size();
    }
  }
  FUZZ_CHECK(bytes <= kTableBytes);
}

// A workbook of these parts, stored uncompressed, in memory.
std::string package(const std::string& sheet, const std::string& shared, bool notes = false) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_source_keep(buffer);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  const std::pair<const char*, std::string> parts[] = {
      {"xl/workbook.xml", notes ? "<workbook><sheets><sheet/><sheet/></sheets></workbook>"
                                : "<workbook><sheets><sheet/></sheets></workbook>"},
      {"xl/worksheets/sheet1.xml",
       notes ? "<x><sheetData><row><c t=\"inlineStr\"><is><t>x</t></is></c></row></sheetData></x>"
             : sheet},
      {"xl/worksheets/sheet2.xml", sheet},
      {"xl/sharedStrings.xml", shared}};
  for (const auto& [name, data] : parts) {
    zip_source_t* part = zip_source_buffer(archive, data.data(), data.size(), 0);
    const zip_int64_t index = zip_file_add(archive, name, part, 0);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  std::string bytes;
  if (zip_close(archive) == 0 && zip_source_open(buffer) == 0) {
    char chunk[4096];
    for (zip_int64_t n; (n = zip_source_read(buffer, chunk, sizeof chunk)) > 0;)
      bytes.append(chunk, static_cast<std::size_t>(n));
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  zip_error_fini(&error);
  return bytes;
}

// Every event as text, so that two readings can be compared; adjacent texts are one.
class Recorder final : public XmlHandler {
 public:
  std::string events;
  void open(const XmlElement& element) override {
    events += "<" + describe(element) + "|" + std::string(element.attribute("r")) + ">";
  }
  void close(const XmlElement& element) override { events += "</" + describe(element) + ">"; }
  void text(std::string_view text) override { events += text; }

 private:
  static std::string describe(const XmlElement& at) {
    return std::string(at.uri) + " " + std::string(at.prefix) + ":" + std::string(at.name) + "@" +
           std::to_string(at.begin) + "-" + std::to_string(at.end);
  }
};

void check_chunking(const std::string& xml, std::size_t chunk) {
  Recorder whole, pieces;
  XmlReader one(whole), many(pieces);
  const bool whole_ok = one.feed(xml).ok() && one.finish().ok();
  bool pieces_ok = true;
  for (std::size_t at = 0; at < xml.size() && pieces_ok; at += chunk)
    pieces_ok = many.feed(std::string_view(xml).substr(at, chunk)).ok();
  pieces_ok = pieces_ok && many.finish().ok();
  FUZZ_CHECK(whole_ok == pieces_ok);
  if (whole_ok) FUZZ_CHECK(whole.events == pieces.events);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0:
      check_table(read_xlsx_bytes(input.ConsumeRemainingBytesAsString(), columns(0, 4)), 4, true);
      break;
    case 1: {
      // Behind a notes sheet, the list sheet is chosen by its first rows.
      const bool notes = input.ConsumeBool();
      const std::string sheet = input.ConsumeRandomLengthString(1 << 16);
      const std::string column = input.ConsumeRandomLengthString(8);
      const auto table = read_xlsx_bytes(
          package(sheet, input.ConsumeRemainingBytesAsString(), notes), numbers_column(column));
      check_table(table, 1, true);
      if (table.ok()) FUZZ_CHECK(numbers_of(*table).numbers.size() <= table->rows.size());
      break;
    }
    case 2: {
      const std::string column = input.ConsumeRandomLengthString(8);
      const std::string csv = input.ConsumeRemainingBytesAsString();
      check_table(read_csv_table(csv, numbers_column(column)), 1, false);
      // Text in a supported encoding becomes UTF-8; UTF-16 that decodes goes back as it was.
      if (const auto text = list_text_utf8(csv); text.ok()) {
        FUZZ_CHECK(is_valid_utf8(*text));
        check_table(read_csv_table(*text, numbers_column(column)), 1, true);
        const auto encoding = encoding_of(csv);
        FUZZ_CHECK(encoding.ok());
        if (*encoding == TextEncoding::utf16le || *encoding == TextEncoding::utf16be)
          FUZZ_CHECK(utf8_to_utf16(*text, *encoding == TextEncoding::utf16be) == csv);
      }
      const auto rows = read_csv_export(csv);
      if (rows.ok()) FUZZ_CHECK(rows->rows.size() <= kSheetRows);
      break;
    }
    case 3: {
      const auto rows = read_json_export(input.ConsumeRemainingBytesAsString(), true);
      if (rows.ok())
        for (const ListRow& row : rows->rows) FUZZ_CHECK(!row.query.empty());
      break;
    }
    default: {
      const std::size_t chunk = input.ConsumeIntegralInRange<std::size_t>(1, 64);
      check_chunking(input.ConsumeRemainingBytesAsString(), chunk);
    }
  }
  return 0;
}
