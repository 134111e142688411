#include "compare.h"

#include <map>

#include "lookup/number_cleanup.h"

namespace stdlookup::cli {
namespace {

constexpr std::string_view kAbolished = "作废";
constexpr std::string_view kCurrent = "现行";
constexpr std::string_view kFailed = "查询失败";

std::map<std::string, const ListRow*> by_number(const std::vector<ListRow>& rows) {
  std::map<std::string, const ListRow*> index;
  for (const ListRow& row : rows) {
    std::string key = normalize_number(row.query.empty() ? row.number : row.query);
    if (!key.empty()) index.emplace(std::move(key), &row);  // the first of a repeated number
  }
  return index;
}

}  // namespace

ChangeReport compare_lists(const std::vector<ListRow>& before, const std::vector<ListRow>& now) {
  ChangeReport report;
  const auto old_rows = by_number(before);
  const auto new_rows = by_number(now);
  for (const auto& [key, row] : new_rows) {
    auto it = old_rows.find(key);
    if (it == old_rows.end()) {
      report.added.push_back({{}, *row});
      continue;
    }
    const ListRow& old = *it->second;
    Change change{old, *row};
    if (row->status == kFailed && old.status != kFailed) {
      report.newly_failed.push_back(change);
    } else if (row->status == kFailed) {
      ++report.unchanged;  // failed both times: nothing new is known
    } else if (row->status == kAbolished && old.status != kAbolished) {
      report.newly_abolished.push_back(change);
    } else if (row->status == kCurrent && old.status == kAbolished) {
      report.newly_current.push_back(change);
    } else if (old.status != kFailed &&
               (row->chinese_name != old.chinese_name ||
                row->implementation_date != old.implementation_date || row->status != old.status)) {
      report.details_changed.push_back(change);
    } else {
      ++report.unchanged;
    }
  }
  for (const auto& [key, row] : old_rows) {
    if (!new_rows.contains(key)) report.gone.push_back({*row, {}});
  }
  return report;
}

}  // namespace stdlookup::cli
