// Reading a written workbook back before it replaces anything.
#pragma once

#include <string>

#include "runtime/types.h"

namespace stdlookup::workbook {

// Opens the workbook as a zip archive, checks that the parts a workbook needs are there and reads
// every entry to its CRC. Returns a failure text (GBK) or "".
Text check_workbook_file(const std::string& path);

}  // namespace stdlookup::workbook
