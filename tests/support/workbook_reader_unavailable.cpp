// Where no workbook reader runs (Windows: no Python), reading reports that it cannot.
#include "support/workbook_reader.h"

namespace stdlookup::test {

nlohmann::json read_workbook(const std::string&) {
  return {{"error", "no workbook reader on this platform"}};
}

}  // namespace stdlookup::test
