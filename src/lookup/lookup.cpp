#include "lookup/lookup.h"

#include <algorithm>

#include "lookup/hosts.h"
#include "lookup/query_url.h"
#include "runtime/conversion.h"
#include "runtime/gbk.h"
#include "runtime/text.h"
#include "web/cookie_store.h"
#include "web/text_utils.h"
#include "web/transport.h"
#include "web/web_request.h"

namespace stdlookup {

using namespace literals;

namespace {

// Retry-After as seconds: delay-seconds only (an HTTP date counts as absent); -1 when none.
int retry_after_seconds(std::string_view headers) {
  constexpr std::string_view kName = "\r\nRetry-After:";
  const int at = find_text(headers, kName, 1, true);
  if (at == -1) return -1;
  std::string_view rest = headers.substr(static_cast<std::size_t>(at) - 1 + kName.size());
  const Text digits = trim_spaces(rest.substr(0, rest.find("\r\n")));
  if (digits.empty() || digits.size() > 9) return -1;
  int seconds = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    seconds = seconds * 10 + (c - '0');
  }
  return seconds;
}

FailureReason reason_of(RequestFailure failure) {
  switch (failure) {
    case RequestFailure::refused:
      return FailureReason::refused;
    case RequestFailure::not_resolved:
      return FailureReason::not_resolved;
    case RequestFailure::proxy_refused:
      return FailureReason::proxy_refused;
    case RequestFailure::timed_out:
      return FailureReason::timed_out;
    case RequestFailure::too_large:
      return FailureReason::too_large;
    case RequestFailure::none:
    case RequestFailure::other:
      break;
  }
  return FailureReason::no_answer;
}

}  // namespace

void clear_lookup_cookies() {
  clear_cookie_files();
}

void cancel_lookups() noexcept {
  cancel_requests();
}

FetchedPage fetch_page(const Text& url) {
  // The status as the transport saw it: a long header block would not fit the headers' copy.
  int status = 0;
  RequestFailure failure = RequestFailure::none;
  Text headers;
  Bytes body = web_page_request({.url = url,
                                 .response_headers = &headers,
                                 .proxy = proxy(),
                                 .status_code = &status,
                                 .failure = &failure});
  FetchedPage page;
  page.status = status;
  if (!body.empty() && status >= 200 && status <= 299) {
    page.text = to_text(body);
    return page;
  }
  page.failed = true;
  page.reason = status == 0                      ? reason_of(failure)
                : status >= 200 && status <= 299 ? FailureReason::no_answer  // an empty body
                                                 : FailureReason::http_status;
  page.retry_after_s = retry_after_seconds(headers);
  page.apology = !body.empty() && find_text(to_text(body), "抱歉"_gbk) != -1;
  return page;
}

bool worth_retrying(const FetchedPage& page) {
  if (!page.failed || page.apology) return false;
  return page.reason == FailureReason::not_a_standard_page || page.status == 0 ||
         page.status == 429 || (page.status >= 500 && page.status <= 599);
}

PageFetcher with_retries(PageFetcher fetch, int retries,
                         std::function<void(std::chrono::milliseconds)> wait) {
  return [fetch = std::move(fetch), retries, wait = std::move(wait)](const Text& url) {
    using std::chrono::seconds;
    FetchedPage page = fetch(url);
    seconds backoff{1};
    for (int tried = 1; tried <= retries && worth_retrying(page); ++tried) {
      seconds delay =
          page.retry_after_s >= 0 ? std::min(seconds{page.retry_after_s}, seconds{60}) : backoff;
      wait(delay);
      backoff = std::min(backoff * 2, seconds{60});
      page = fetch(url);
      page.tries = tried + 1;
    }
    return page;
  };
}

PageFetcher standard_pages_only(PageFetcher fetch) {
  return [fetch = std::move(fetch)](const Text& url) {
    FetchedPage page = fetch(url);
    if (!page.failed && !is_standard_page(scrape_detail_page(page.text))) {
      page.text.clear();  // a failed request has no page text
      page.failed = true;
      page.reason = FailureReason::not_a_standard_page;
    }
    return page;
  };
}

LookupResult lookup_standard(std::string_view number, const PageFetcher& fetch) {
  FetchedPage fetched = fetch(query_url(number));
  if (fetched.failed) {
    // A fetcher that gives no reason (a test's, say) still had no usable answer.
    const FailureReason reason =
        fetched.reason == FailureReason::none ? FailureReason::no_answer : fetched.reason;
    return {{}, true, reason, fetched.status};
  }
  DetailPage page = scrape_detail_page(fetched.text);
  if (!is_standard_page(page))
    return {{}, true, FailureReason::not_a_standard_page, fetched.status};
  return {std::move(page), false, FailureReason::none, fetched.status};
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

StandardRecord batch_record(const LookupResult& result, std::string_view line) {
  StandardRecord record = result.page.fields;
  if (record.number.empty()) record.number = line;
  record.status = batch_status(result);
  record.publishing_department.clear();
  return record;
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
  const FetchedPage detail = fetch(result.detail_link);
  result.detail_failed = detail.failed;
  result.download_link = text_between(detail.text, "<a class=\"telecom\" href=\"", "\"");
  return result;
}

}  // namespace stdlookup
