// Reads a written workbook back through openpyxl (tests/support/read_workbook.py) (Debian's python3), as a spreadsheet
// application would see it.
#pragma once

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

namespace stdlookup::test {

inline nlohmann::json read_workbook(const std::string& path) {
  std::string command =
      std::string("/usr/bin/python3 '") + STDLOOKUP_READ_WORKBOOK_SCRIPT + "' '" + path + "' 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string output;
  std::array<char, 4096> buffer;
  while (pipe && std::fgets(buffer.data(), buffer.size(), pipe.get())) output += buffer.data();
  nlohmann::json parsed = nlohmann::json::parse(output, nullptr, false);
  if (parsed.is_discarded()) return {{"error", output}};
  return parsed;
}

}  // namespace stdlookup::test
