#include "lookup/query_url.h"

#include "lookup/hosts.h"
#include "runtime/text.h"
#include "runtime/window_services.h"

namespace stdlookup {

Text query_url(std::string_view number) {
  Text url = "http://" + query_host() + "/gbquery.htm?SID=";
  url += number;
  url += "&x=30&y=8";
  return url;
}

bool is_browser_link(std::string_view url) {
  std::string lower = to_lower(Text(url.substr(0, 8)));
  std::size_t scheme_end;
  if (lower.starts_with("http://")) {
    scheme_end = 7;
  } else if (lower.starts_with("https://")) {
    scheme_end = 8;
  } else {
    return false;
  }
  std::string_view authority = url.substr(scheme_end);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  std::string_view host = authority;
  if (host.starts_with('[')) {
    host = host.substr(0, host.find(']') + 1);  // IPv6 literal; "[" alone stays non-empty
    return host.size() > 2 && host.back() == ']';
  }
  host = host.substr(0, host.find(':'));
  return !host.empty();
}

void open_in_browser(std::string_view url) {
  // The opener's own result is not examined: a refused link is as silent as a failed one.
  if (is_browser_link(url)) shell_open(Text(url));
}

}  // namespace stdlookup
