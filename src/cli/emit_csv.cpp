// The CSV format: a header line, then a line per answer, each field safe as a spreadsheet cell.
#include <string_view>

#include "emit.h"

namespace stdlookup::cli {
namespace {

class CsvEmitter final : public Emitter {
 public:
  CsvEmitter(Sink sink, bool terminal) : out_(std::move(sink)), terminal_(terminal) {}

  void query(const LookupResult& result, const std::string& status) override {
    const StandardRecord& f = result.page.fields;
    lines({{"标准编号", "中文名称", "标准状态", "实施日期", "发布部门"},
           {utf8(f.number), utf8(f.chinese_name), status, utf8(f.implementation_date),
            utf8(f.publishing_department)}});
  }

  void download(const DownloadResult& result) override {
    lines(
        {{"found", "detail_link", "download_link"},
         {result.found ? "true" : "false", utf8(result.detail_link), utf8(result.download_link)}});
  }

  void config(const Settings& settings, const std::filesystem::path&) override {
    std::vector<Row> rows{{"key", "value", "from"}};
    for (std::string_view key : kSettingKeys) {
      const Setting& s = *find_setting(settings, key);
      rows.push_back({std::string(key), s.value, describe_origin(s)});
    }
    lines(rows);
  }

  void begin_rows() override { lines({row_headers()}); }
  void row(const OutputRow& r) override { lines({row_cells(r)}); }
  void end_rows() override {}

  void report(const ChangeReport& report) override {
    std::vector<Row> table{{"change", "number", "chinese_name", "implementation_date", "status",
                            "previous_chinese_name", "previous_implementation_date",
                            "previous_status", "row", "label"}};
    for (const ChangeKind& kind : change_kinds(report)) {
      for (const Change& c : *kind.changes) {
        table.push_back({kind.key, shown_number(c), c.now.chinese_name, c.now.implementation_date,
                         c.now.status, c.before.chinese_name, c.before.implementation_date,
                         c.before.status, c.place.row > 0 ? std::to_string(c.place.row) : "",
                         c.place.label});
      }
    }
    lines(table);
  }

 private:
  void lines(const std::vector<Row>& rows) {
    std::string text;
    for (const Row& row : rows) text += csv_line(row, terminal_);
    out_(text);
  }

  Sink out_;
  bool terminal_;
};

}  // namespace

std::unique_ptr<Emitter> make_csv_emitter(Sink sink, bool terminal) {
  return std::make_unique<CsvEmitter>(std::move(sink), terminal);
}

}  // namespace stdlookup::cli
