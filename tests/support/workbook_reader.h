// Reads a written workbook back as a spreadsheet application would see it: every sheet's cells
// with their values and number formats, as JSON ({"error": …} when it cannot be read).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace stdlookup::test {

nlohmann::json read_workbook(const std::string& path);

}  // namespace stdlookup::test
