// What the export tests share: filling the list, reading files and folders back.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "controls/control_names.h"
#include "controls/controls.h"
#include "support/gbk_literals.h"
#include "support/temp_dir.h"

namespace stdlookup {

constexpr std::string_view kList = kResultList;

inline void add_row(Controls& controls, std::initializer_list<std::string> utf8_cells) {
  int row = controls.list_insert_row(kList, "");
  int column = 0;
  for (const std::string& cell : utf8_cells)
    controls.list_set_cell(kList, row, column++, test::g(cell));
}

inline std::string file_content(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::string> folder_entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(test::native_text(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace stdlookup
