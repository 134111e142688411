#include "lookup/lookup.h"

#include "lookup/hosts.h"
#include "lookup/query_url.h"
#include "runtime/conversion.h"
#include "runtime/gbk.h"
#include "runtime/text.h"
#include "web/text_utils.h"
#include "web/web_request.h"

namespace stdlookup {

using namespace literals;

FetchedPage fetch_page(const Text& url) {
  // The status as the transport saw it: a long header block would not fit the headers' copy.
  int status = 0;
  Bytes body = web_page_request(url, 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr,
                                proxy(), &status);
  if (body.empty() || status < 200 || status > 299) return {{}, true};
  return {to_text(body), false};
}

LookupResult lookup_standard(std::string_view number, const PageFetcher& fetch) {
  FetchedPage fetched = fetch(query_url(number));
  if (fetched.failed) return {{}, true};
  return {scrape_detail_page(fetched.text), false};
}

Text single_query_status(const LookupResult& result) {
  if (result.failed) return status_failed();
  if (result.page.abolished) return status_abolished();
  if (result.page.current) return status_current();
  return {};
}

Text batch_status(const LookupResult& result) {
  if (result.failed) return status_failed();
  if (result.page.apology) return status_not_found();
  if (result.page.abolished) return status_abolished();
  return status_current();
}

TextArray batch_lines(std::string_view text) {
  return split_text(text, "\r\n");
}

Text download_search_url(std::string_view keyword) {
  return "http://" + download_host() +
         "/standard/search.php?corpstandard=2&fields=0&kw=" + Text(keyword);
}

DownloadResult find_download(std::string_view keyword, const PageFetcher& fetch) {
  DownloadResult result;
  // Only the first result entry counts; its first quoted href is the detail link, unchanged.
  Text entry = text_between(fetch(download_search_url(keyword)).text, "<LI><SPAN class=posttimeaa",
                            "target=_blank style=\"font-size:");
  result.detail_link = text_between(entry, "href=\"", "\"");
  if (result.detail_link.empty()) return result;
  result.found = true;
  result.download_link =
      text_between(fetch(result.detail_link).text, "<a class=\"telecom\" href=\"", "\"");
  return result;
}

}  // namespace stdlookup
