// stdlookup-cli query NUMBER: the single query, as the window's 查询 does it.
#include "cli.h"
#include "cli_platform.h"
#include "emit.h"
#include "runtime/gbk.h"

namespace stdlookup::cli {

int query_command(const Options& options, const std::string& number) {
  clear_lookup_cookies();
  const LookupResult result = lookup_standard(utf8_to_gbk(number));
  make_emitter(options.format, print, stdout_is_terminal())
      ->query(result.page.fields, utf8(single_query_status(result)));
  if (result.not_a_standard_page) {
    warn(table_cell(number) +
         ": 查询失败: the answer is not a standard's page (a login or block page?)");
    return kSomeFailed;
  }
  if (result.failed) {
    warn(table_cell(number) + ": 查询失败");
    return kSomeFailed;
  }
  return kAllAnswered;
}

}  // namespace stdlookup::cli
