#include "emit.h"

#include "export/export.h"
#include "lookup/hosts.h"
#include "runtime/gbk.h"
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

std::string reason_text(FailureReason reason, int http_status) {
  switch (reason) {
    case FailureReason::none:
      return {};
    case FailureReason::refused:
      return "connection refused";
    case FailureReason::not_resolved:
      return "host name does not resolve";
    case FailureReason::proxy_refused:
      return "proxy refused";
    case FailureReason::timed_out:
      return "timed out";
    case FailureReason::too_large:
      return "answer too large";
    case FailureReason::http_status:
      return "HTTP status " + std::to_string(http_status);
    case FailureReason::not_a_standard_page:
      return "not a standard's page";
    case FailureReason::no_answer:
      break;
  }
  return "no usable answer";
}

std::string failure_message(const std::string& query, FailureReason reason, int http_status) {
  std::string message = table_cell(query) + ": 查询失败: " + reason_text(reason, http_status);
  switch (reason) {
    case FailureReason::refused:
    case FailureReason::not_resolved:
    case FailureReason::timed_out:
      break;
    case FailureReason::proxy_refused:
      return message + " (proxy " + utf8(proxy()) + ")";
    case FailureReason::too_large:
      return message + " (over " + std::to_string(kTransportBodyCap >> 20) + " MiB)";
    case FailureReason::not_a_standard_page:
      return message + " (a login or block page?)";
    default:
      return message;
  }
  // Nothing answers at the host: say which, and where it is set when nobody set it.
  message += " (query host " + utf8(query_host());
  if (!query_host_built_in()) return message + ")";
  const std::u8string file = settings_file_path().u8string();
  return message + ", built in; set query_host in " +
         (file.empty() ? std::string("the settings file")
                       : table_cell(std::string(file.begin(), file.end()))) +
         ")";
}

Row row_cells(const OutputRow& r) {
  return {utf8(r.record.number), utf8(r.record.chinese_name), utf8(r.record.implementation_date),
          utf8(r.record.status)};
}

Row row_headers() {
  const auto& headers = export_header_texts();
  return {utf8(headers[0]), utf8(headers[1]), utf8(headers[2]), utf8(headers[3])};
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
