// The text format: aligned tables for people, every field from a server made harmless to the
// terminal.
#include <algorithm>
#include <string_view>

#include "emit.h"
#include "runtime/i18n.h"

namespace stdlookup::cli {
namespace {

// Where a setting came from, in the user's language (JSON keeps the English words).
std::string origin_text(const Setting& setting) {
  switch (setting.origin) {
    case SettingOrigin::built_in:
      return tr("built-in");
    case SettingOrigin::file:
      return setting.where;
    case SettingOrigin::environment:
      return tr("environment {1}", {setting.where});
    case SettingOrigin::command_line:
      return tr("option {1}", {setting.where});
  }
  return {};
}

class TextEmitter final : public Emitter {
 public:
  explicit TextEmitter(Sink sink) : out_(std::move(sink)) {}

  void query(const LookupResult& result, const std::string& status) override {
    const StandardRecord& f = result.page.fields;
    out_(aligned_table({{"标准编号", table_cell(utf8(f.number))},
                        {"中文名称", table_cell(utf8(f.chinese_name))},
                        {"标准状态", status},
                        {"实施日期", table_cell(utf8(f.implementation_date))},
                        {"发布部门", table_cell(utf8(f.publishing_department))}}));
  }

  void download(const DownloadResult& result) override {
    if (!result.download_link.empty()) out_(table_cell(utf8(result.download_link)) + "\n");
  }

  void config(const Settings& settings, const std::filesystem::path& file) override {
    std::vector<Row> rows;
    for (std::string_view key : kSettingKeys) {
      const Setting& s = *find_setting(settings, key);
      rows.push_back({std::string(key), s.value, origin_text(s)});
    }
    if (rows.back()[1].empty()) rows.back()[1] = tr("(direct)");
    const bool exists = std::filesystem::is_regular_file(file);
    rows.push_back({"file", file.string(), exists ? "" : tr("(none)")});
    out_(aligned_table(rows));
  }

  void begin_rows() override { table_ = {row_headers()}; }
  void row(const OutputRow& r) override { table_.push_back(row_cells(r)); }
  void end_rows() override {
    for (Row& row : table_) {
      for (std::string& cell : row) cell = table_cell(cell);
    }
    out_(aligned_table(table_));
    table_.clear();
  }

  void report(const ChangeReport& report) override {
    std::vector<Row> table;
    for (const ChangeKind& kind : change_kinds(report)) {
      for (const Change& c : *kind.changes) {
        table.push_back({kind.word, where(c.place), table_cell(shown_number(c)),
                         table_cell(what_changed(c, kind.changes == &report.details_changed))});
      }
    }
    table.push_back({"未变", "", std::to_string(report.unchanged), ""});
    // Lines of no known place (gone ones only, say) need no column for it.
    if (std::all_of(table.begin(), table.end(), [](const Row& row) { return row[1].empty(); })) {
      for (Row& row : table) row.erase(row.begin() + 1);
    }
    out_(aligned_table(table));
  }

 private:
  // "第12行 酱油": the row of the list and its --label cell.
  static std::string where(const Place& place) {
    if (place.row <= 0) return {};
    std::string text = "第" + std::to_string(place.row) + "行";
    return place.label.empty() ? text : text + " " + table_cell(place.label);
  }

  // "现行 → 作废", and for other details the name and date before and now.
  static std::string what_changed(const Change& c, bool details) {
    std::string what =
        c.before.status.empty() || c.now.status.empty() || c.before.status == c.now.status
            ? shown_side(c).status
            : c.before.status + " → " + c.now.status;
    if (details) {
      if (c.before.chinese_name != c.now.chinese_name)
        what += "  " + c.before.chinese_name + " → " + c.now.chinese_name;
      if (c.before.implementation_date != c.now.implementation_date)
        what += "  " + c.before.implementation_date + " → " + c.now.implementation_date;
    }
    return what;
  }

  Sink out_;
  std::vector<Row> table_;  // the rows' table, printed whole at the end
};

}  // namespace

std::unique_ptr<Emitter> make_text_emitter(Sink sink) {
  return std::make_unique<TextEmitter>(std::move(sink));
}

}  // namespace stdlookup::cli
