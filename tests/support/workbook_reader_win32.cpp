// No Python where the Windows programs run: workbooks are read by our own reader.
#include "support/workbook_reader.h"

namespace stdlookup::test {

nlohmann::json read_workbook(const std::string& path) {
  return read_workbook_xml(path);
}

}  // namespace stdlookup::test
