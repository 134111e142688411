// The page scrapers on any page: every field stands in the page between its markers, the status
// flags say whether the words occur at a character boundary, the batch status follows them, and
// the download search takes its links from the pages it was given.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz_check.h"
#include "lookup/lookup.h"
#include "lookup/scrape.h"
#include "runtime/gbk.h"

using namespace stdlookup;
using namespace stdlookup::literals;

namespace {

bool occurs(const std::string& page, const std::string& word) {
  const auto bounds = fuzz::boundaries(page);
  for (std::size_t i = 0; i + word.size() <= page.size(); ++i) {
    if (bounds[i] && page.compare(i, word.size(), word) == 0) return true;
  }
  return false;
}

void check_field(const std::string& page, const Text& field, const std::string& end) {
  FUZZ_CHECK(field.empty() || fuzz::contains(page, field + end));
}

void check_detail(const std::string& page) {
  const DetailPage scraped = scrape_detail_page(page);
  const StandardRecord& f = scraped.fields;
  check_field(page, f.number, "&nbsp;</td>");
  check_field(page, f.chinese_name, "</td>");
  check_field(page, f.implementation_date, "&nbsp");
  check_field(page, f.publishing_department, "&nbsp");
  FUZZ_CHECK(f.status.empty());
  FUZZ_CHECK(scraped.current == occurs(page, "现行"_gbk));
  FUZZ_CHECK(scraped.abolished == occurs(page, "作废"_gbk));
  FUZZ_CHECK(scraped.apology == occurs(page, "抱歉"_gbk));

  auto fetched = [&](const Text&) { return FetchedPage{page, false}; };
  const LookupResult result = lookup_standard("GB 1", fetched);
  // No number and no status word: no standard's page, a failure.
  const bool standard =
      !f.number.empty() || scraped.current || scraped.abolished || scraped.apology;
  FUZZ_CHECK(result.failed == !standard && (!standard || result.page.fields == f));
  const Text status = batch_status(result);
  FUZZ_CHECK(status == (!standard           ? status_failed()
                        : scraped.apology   ? status_not_found()
                        : scraped.abolished ? status_abolished()
                                            : status_current()));
}

void check_download(const std::string& search_page, const std::string& detail_page) {
  int fetches = 0;
  auto fetch = [&](const Text&) {
    return FetchedPage{++fetches == 1 ? search_page : detail_page, false};
  };
  const DownloadResult result = find_download("GB 2760", fetch);
  FUZZ_CHECK(result.found == !result.detail_link.empty());
  FUZZ_CHECK(fetches == (result.found ? 2 : 1));
  FUZZ_CHECK(!result.found || fuzz::contains(search_page, "href=\"" + result.detail_link + "\""));
  FUZZ_CHECK(result.download_link.empty() ||
             fuzz::contains(detail_page, "href=\"" + result.download_link + "\""));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  if (input.ConsumeBool()) {
    check_detail(input.ConsumeRemainingBytesAsString());
  } else {
    const std::string search_page = input.ConsumeRandomLengthString(4000);
    check_download(search_page, input.ConsumeRemainingBytesAsString());
  }
  return 0;
}
