// stdlookup-cli download NUMBER: the download search, and the link on the first result's page.
#include "cli.h"
#include "cli_platform.h"
#include "emit.h"
#include "runtime/gbk.h"
#include "runtime/i18n.h"

namespace stdlookup::cli {

int download_command(const Options& options, const std::string& number) {
  const DownloadResult result = find_download(utf8_to_gbk(number));
  make_emitter(options.format, print, stdout_is_terminal())->download(result);
  if (!result.found) {
    warn(tr("{1}: no download found", {table_cell(number)}));
    return kSomeFailed;
  }
  if (result.detail_failed) {
    warn(tr("{1}: the detail page {2} could not be fetched",
            {table_cell(number), table_cell(utf8(result.detail_link))}));
    return kSomeFailed;
  }
  if (result.download_link.empty()) {
    warn(tr("{1}: no download link on the detail page {2}",
            {table_cell(number), table_cell(utf8(result.detail_link))}));
    return kSomeFailed;
  }
  return kAllAnswered;
}

}  // namespace stdlookup::cli
