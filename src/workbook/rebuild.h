// Putting a workbook package together again: some parts replaced or removed, every other entry
// copied byte for byte.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/result.h"

namespace stdlookup::workbook {

// The package `original` with `replaced` parts put in and `removed` ones left out.
Result<std::string> rebuild_package(std::string_view original,
                                    const std::map<std::string, std::string>& replaced,
                                    const std::vector<std::string>& removed);

// Whether every entry of `before` not in `edited` or `removed` is in `after` with the same data.
bool others_unchanged(std::string_view before, std::string_view after,
                      const std::map<std::string, std::string>& edited,
                      const std::vector<std::string>& removed);

}  // namespace stdlookup::workbook
