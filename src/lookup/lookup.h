// Looking a standard up, and finding its download link: the record-level operations that the
// window's actions and the command line share, so the same input gives the same fields.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

#include "lookup/scrape.h"
#include "runtime/types.h"

namespace stdlookup {

// Why a request or lookup failed, for the command line to say in its words.
enum class FailureReason : std::uint8_t {
  none,
  refused,        // nothing listens at the host's port
  not_resolved,   // the host name does not resolve
  proxy_refused,  // the proxy could not be reached, or refused to connect onwards
  timed_out,
  too_large,  // the answer was over the transport's cap
  http_status,
  not_a_standard_page,
  no_answer,  // no usable answer otherwise (reset, empty, broken, cancelled)
};

// A fetched page: its text (the body up to its first zero byte) and whether the request failed
// (no body, a transport error, or a status other than 2xx). A failed request has no page text.
struct FetchedPage {
  Text text;
  bool failed = false;
  // Why it failed, for retrying: the status (0 when no response came), the response's
  // Retry-After in seconds (-1: none), and whether the failed page still said "抱歉".
  int status = 0;
  int retry_after_s = -1;
  bool apology = false;
  // Why it failed: http_status for a status other than 2xx, not_a_standard_page for a page that
  // arrived but is no standard's page (standard_pages_only).
  FailureReason reason = FailureReason::none;
  int tries = 1;  // requests made for this page
};
using PageFetcher = std::function<FetchedPage(const Text& url)>;

// Whether trying again may help: no response, a server error (5xx), too many requests (429) or a
// page that is no standard's page (a portal may let the next one through), and never a page
// that answered "抱歉".
bool worth_retrying(const FetchedPage& page);

// `fetch`, tried again up to `retries` times while worth_retrying: the waits start at 1 s and
// double, and a Retry-After of the response is honoured up to 60 s. `wait` pauses.
PageFetcher with_retries(PageFetcher fetch, int retries,
                         std::function<void(std::chrono::milliseconds)> wait);

// `fetch` for the query service's detail pages: a page that arrived but is no standard's page
// counts as a failed request, so that retries see it as one.
PageFetcher standard_pages_only(PageFetcher fetch);

// Every query starts without the cookies of the one before (the window's and the command line's).
void clear_lookup_cookies();
// Ends the request in flight and any that starts later; safe in a signal handler.
void cancel_lookups() noexcept;

// GET through web_page_request with the proxy of the settings and every other argument absent.
FetchedPage fetch_page(const Text& url);

struct LookupResult {
  DetailPage page;  // empty when the request failed
  bool failed = false;
  FailureReason reason = FailureReason::none;  // why it failed
  int status = 0;                              // the response's status (0: none came)
};

// Fetches and scrapes the detail page of `number` (used unchanged in the query URL). A page that
// is no standard's page (is_standard_page) is a failed lookup.
LookupResult lookup_standard(std::string_view number, const PageFetcher& fetch = fetch_page);

// The status as the single query shows it: "作废" over "现行", "" when the page holds neither,
// "查询失败" when the request failed.
Text single_query_status(const LookupResult& result);
// The status of a batch row: "现行" by default, "作废", "抱歉，没找到" over both, "查询失败".
Text batch_status(const LookupResult& result);
// A batch row of `line`: the page's number, name and date with the batch status, no department.
// When the page gave no number (a failed request, an unknown number) the row carries `line` as
// queried, so an exported failure still says which standard it was.
StandardRecord batch_record(const LookupResult& result, std::string_view line);

// The lines of a batch: the text split at every "\r\n"; empty lines stay, blanks stay, and a
// final line break adds no line.
TextArray batch_lines(std::string_view text);

struct DownloadResult {
  bool found = false;  // a detail link was found in the first result entry
  Text detail_link;
  Text download_link;          // may be empty although found
  bool detail_failed = false;  // found, but the detail page could not be fetched
};

// Searches the download service for `keyword` and follows the first result to its detail page.
DownloadResult find_download(std::string_view keyword, const PageFetcher& fetch = fetch_page);
Text download_search_url(std::string_view keyword);

}  // namespace stdlookup
