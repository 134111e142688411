// Reading a written workbook back: libxlsxwriter can report success for a file that a full disk
// cut short, so the zip is opened with consistency checks and every entry read to its CRC.
#include <zip.h>

#include <memory>

#include "runtime/gbk.h"
#include "workbook/check.h"

namespace stdlookup::workbook {

using namespace literals;

Text check_workbook_file(const std::string& path) {
  const Text& incomplete = "写入的文件不完整（磁盘可能已满）"_gbk;
  int error = 0;
  std::unique_ptr<zip_t, decltype(&zip_discard)> archive(
      zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error), &zip_discard);
  if (!archive) return incomplete;
  for (const char* part : {"[Content_Types].xml", "xl/workbook.xml", "xl/worksheets/sheet1.xml"}) {
    if (zip_name_locate(archive.get(), part, 0) < 0) return incomplete;
  }
  zip_int64_t entries = zip_get_num_entries(archive.get(), 0);
  char buffer[65536];
  for (zip_int64_t i = 0; i < entries; ++i) {
    zip_file_t* file = zip_fopen_index(archive.get(), static_cast<zip_uint64_t>(i), 0);
    if (!file) return incomplete;
    zip_int64_t n;
    while ((n = zip_fread(file, buffer, sizeof buffer)) > 0) {
    }
    // A CRC mismatch shows as a failed last read or a failed close.
    if (zip_fclose(file) != 0 || n < 0) return incomplete;
  }
  return {};
}

}  // namespace stdlookup::workbook
