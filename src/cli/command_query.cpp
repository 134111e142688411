// stdlookup-cli query NUMBER: the single query, as the window's 查询 does it, except that a
// number the service does not know says so, as the batch does.
#include "cli.h"
#include "cli_platform.h"
#include "emit.h"
#include "runtime/gbk.h"

namespace stdlookup::cli {

int query_command(const Options& options, const std::string& number) {
  clear_lookup_cookies();
  const LookupResult result = lookup_standard(utf8_to_gbk(number));
  const bool unknown = !result.failed && result.page.apology;
  const Text status = unknown ? batch_status(result) : single_query_status(result);
  make_emitter(options.format, print, stdout_is_terminal())->query(result, utf8(status));
  if (result.failed) warn(failure_message(number, result.reason, result.status));
  return result.failed || unknown ? kSomeFailed : kAllAnswered;
}

}  // namespace stdlookup::cli
