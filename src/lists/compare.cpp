#include "lists/compare.h"

#include <deque>
#include <map>
#include <optional>

#include "lookup/number_cleanup.h"
#include "lookup/scrape.h"
#include "runtime/text.h"

namespace stdlookup::lists {
namespace {

constexpr std::string_view kAbolished = status_words::abolished;
constexpr std::string_view kCurrent = status_words::current;
constexpr std::string_view kFailed = status_words::failed;

std::string key_of(const std::string& number) {
  return to_lower(normalize_number(number));
}

// "gb 2760" for "gb 2760-2014": the number as a line without the year asks for it; "" when
// there is no year.
std::string without_year(const std::string& key) {
  const std::size_t dash = key.rfind('-');
  if (dash == std::string::npos || dash + 1 == key.size() || dash == 0) return {};
  for (std::size_t i = dash + 1; i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return {};
  }
  return key.substr(0, dash);
}

// The rows of an earlier list by their numbers, each taken once.
class EarlierRows {
 public:
  explicit EarlierRows(const std::vector<ListRow>& rows) : taken_(rows.size()) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      for (const std::string* number : {&rows[i].query, &rows[i].number}) {
        const std::string key = key_of(*number);
        if (key.empty()) continue;
        exact_[key].push_back(i);
        if (std::string bare = without_year(key); !bare.empty()) bare_[bare].push_back(i);
      }
    }
  }

  // The first row not taken yet of the line asking for `query` and answered as `number`.
  std::optional<std::size_t> take(const ListRow& line) {
    for (auto* index : {&exact_, &bare_}) {
      for (const std::string* number : {&line.query, &line.number}) {
        const auto found = index->find(key_of(*number));
        if (found == index->end()) continue;
        std::deque<std::size_t>& rows = found->second;
        while (!rows.empty() && taken_[rows.front()]) rows.pop_front();
        if (rows.empty()) continue;
        taken_[rows.front()] = true;
        return rows.front();
      }
    }
    return std::nullopt;
  }
  bool taken(std::size_t row) const { return taken_[row]; }

 private:
  std::map<std::string, std::deque<std::size_t>> exact_, bare_;
  std::vector<bool> taken_;
};

void classify(ChangeReport& report, const Change& change) {
  const ListRow& old = change.before;
  const ListRow& row = change.now;
  if (old.status.empty()) {
    (row.status == kAbolished ? report.added_abolished : report.added).push_back(change);
  } else if (row.status == kFailed && old.status != kFailed) {
    report.newly_failed.push_back(change);
  } else if (row.status == kFailed) {
    ++report.unchanged;  // failed both times: nothing new is known
  } else if (row.status == kAbolished && old.status != kAbolished) {
    report.newly_abolished.push_back(change);
  } else if (row.status == kCurrent && old.status == kAbolished) {
    report.newly_current.push_back(change);
  } else if (row.chinese_name != old.chinese_name ||
             row.implementation_date != old.implementation_date || row.status != old.status) {
    // An answer where the earlier run had none is news too.
    report.details_changed.push_back(change);
  } else {
    ++report.unchanged;
  }
}

}  // namespace

ChangeReport report_of(const std::vector<Change>& changes) {
  ChangeReport report;
  for (const Change& change : changes) classify(report, change);
  return report;
}

ChangeReport compare_lists(const std::vector<ListRow>& before, const std::vector<ListRow>& now,
                           const std::vector<Place>& places) {
  EarlierRows earlier(before);
  std::vector<Change> changes;
  changes.reserve(now.size());
  for (std::size_t i = 0; i < now.size(); ++i) {
    Change& change = changes.emplace_back();
    change.now = now[i];
    if (i < places.size()) change.place = places[i];
    if (const auto row = earlier.take(now[i])) change.before = before[*row];
  }
  ChangeReport report = report_of(changes);
  for (std::size_t i = 0; i < before.size(); ++i) {
    // A row without a number was nobody's line.
    const bool numbered = !key_of(before[i].query).empty() || !key_of(before[i].number).empty();
    if (!earlier.taken(i) && numbered) report.gone.push_back({before[i], {}, {}});
  }
  return report;
}

}  // namespace stdlookup::lists
