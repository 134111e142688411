#include "emit.h"

#include "export/export.h"
#include "lookup/hosts.h"
#include "runtime/gbk.h"
#include "runtime/i18n.h"
#include "runtime/settings.h"
#include "web/transport_core.h"

namespace stdlookup::cli {

std::unique_ptr<Emitter> make_emitter(OutputFormat format, Sink sink, bool terminal) {
  switch (format) {
    case OutputFormat::json:
      return make_json_emitter(std::move(sink));
    case OutputFormat::csv:
      return make_csv_emitter(std::move(sink), terminal);
    case OutputFormat::text:
      break;
  }
  return make_text_emitter(std::move(sink));
}

std::string rows_text(const std::vector<OutputRow>& rows, OutputFormat format, bool terminal) {
  std::string text;
  auto emitter = make_emitter(
      format, [&text](const std::string& part) { text += part; }, terminal);
  emitter->begin_rows();
  for (const OutputRow& r : rows) emitter->row(r);
  emitter->end_rows();
  return text;
}

std::string utf8(const Text& gbk) {
  return gbk_to_utf8(gbk);
}

std::string failure_message(const std::string& query, FailureReason reason, int http_status) {
  // gettext gives the catalogue's header for "".
  const char* words = reason_words(reason);
  const std::string why = reason == FailureReason::http_status
                              ? tr("HTTP status {1}", {std::to_string(http_status)})
                          : *words ? tr(words)
                                   : std::string();
  const auto message = [&](const std::string& more) {
    // TRANSLATORS: {1} the standard number, {2} why, {3} more about where.
    return more.empty() ? tr("{1}: 查询失败: {2}", {table_cell(query), why})
                        : tr("{1}: 查询失败: {2} ({3})", {table_cell(query), why, more});
  };
  switch (reason) {
    case FailureReason::refused:
    case FailureReason::not_resolved:
    case FailureReason::timed_out:
      break;
    case FailureReason::proxy_refused:
      return message(tr("proxy {1}", {utf8(proxy())}));
    case FailureReason::too_large:
      return message(tr("over {1} MiB", {std::to_string(kTransportBodyCap >> 20)}));
    case FailureReason::not_a_standard_page:
      return message(tr("a login or block page?"));
    default:
      return message("");
  }
  // Nothing answers at the host: say which, and where it is set when nobody set it.
  if (!query_host_built_in()) return message(tr("query host {1}", {utf8(query_host())}));
  const std::u8string file = settings_file_path().u8string();
  return message(
      tr("query host {1}, built in; set query_host in {2}",
         {utf8(query_host()), file.empty() ? tr("the settings file")
                                           : table_cell(std::string(file.begin(), file.end()))}));
}

std::array<ChangeKind, 7> change_kinds(const ChangeReport& report) {
  return {{{"newly_abolished", "新作废", &report.newly_abolished},
           {"added_abolished", "新增（已作废）", &report.added_abolished},
           {"newly_current", "恢复现行", &report.newly_current},
           {"details_changed", "有变化", &report.details_changed},
           {"newly_failed", "查询失败", &report.newly_failed},
           {"added", "新增", &report.added},
           {"gone", "移除", &report.gone}}};
}

const ListRow& shown_side(const Change& c) {
  return c.now.number.empty() && c.now.query.empty() ? c.before : c.now;
}

std::string shown_number(const Change& c) {
  const ListRow& shown = shown_side(c);
  return shown.number.empty() ? shown.query : shown.number;
}

}  // namespace stdlookup::cli
