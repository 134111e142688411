// The JSON format: an object per answer, the batch's rows as one array that goes out row by row.
#include <nlohmann/json.hpp>
#include <string_view>

#include "emit.h"

namespace stdlookup::cli {
namespace {

using json = nlohmann::ordered_json;

std::string dump(const json& value) {
  return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

json side_json(const ListRow& row) {
  return json{{"number", row.number},
              {"chinese_name", row.chinese_name},
              {"implementation_date", row.implementation_date},
              {"status", row.status}};
}

class JsonEmitter final : public Emitter {
 public:
  explicit JsonEmitter(Sink sink) : out_(std::move(sink)) {}

  void query(const LookupResult& result, const std::string& status) override {
    const StandardRecord& f = result.page.fields;
    json object{{"number", utf8(f.number)},
                {"chinese_name", utf8(f.chinese_name)},
                {"status", status},
                {"implementation_date", utf8(f.implementation_date)},
                {"publishing_department", utf8(f.publishing_department)},
                {"found", !result.failed && !result.page.apology}};
    if (result.failed) object["reason"] = reason_text(result.reason, result.status);
    out_(dump(object));
  }

  void download(const DownloadResult& result) override {
    out_(dump(json{{"found", result.found},
                   {"detail_link", utf8(result.detail_link)},
                   {"download_link", utf8(result.download_link)}}));
  }

  void config(const Settings& settings, const std::filesystem::path& file) override {
    json values;
    for (std::string_view key : kSettingKeys) {
      const Setting& s = *find_setting(settings, key);
      values[std::string(key)] = {{"value", s.value}, {"from", describe_origin(s)}};
    }
    values["file"] = file.string();
    out_(dump(values));
  }

  void begin_rows() override { printed_ = false; }
  void row(const OutputRow& r) override {
    out_(json_rows_between(!printed_) + row_json(r));
    printed_ = true;
  }
  void end_rows() override { out_(json_rows_end(!printed_)); }

  void report(const ChangeReport& report) override {
    json out = json::object();
    for (const ChangeKind& kind : change_kinds(report)) {
      json list = json::array();
      for (const Change& c : *kind.changes) {
        json change = json::object();
        if (c.place.row > 0) change["row"] = c.place.row;
        if (!c.place.label.empty()) change["label"] = c.place.label;
        change["before"] = side_json(c.before);
        change["now"] = side_json(c.now);
        list.push_back(std::move(change));
      }
      out[kind.key] = list;
    }
    out["unchanged"] = report.unchanged;
    out_(dump(out));
  }

 private:
  Sink out_;
  bool printed_ = false;
};

}  // namespace

std::unique_ptr<Emitter> make_json_emitter(Sink sink) {
  return std::make_unique<JsonEmitter>(std::move(sink));
}

}  // namespace stdlookup::cli
