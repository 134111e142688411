// Cost of web_page_request over a bare libcurl loop: 500 sequential GETs of a 30 KB page from
// the loopback fixture server, each side with a fresh easy handle per request, in the same run.
#include <curl/curl.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "bench_util.h"
#include "support/fixture_server.h"
#include "web/web_request.h"

using namespace stdlookup;

namespace {

constexpr int kRequests = 500;
constexpr int kRounds = 3;

std::size_t append_body(char* data, std::size_t, std::size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, count);
  return count;
}

// The least a client does: one easy handle, the URL, collect the body.
std::size_t bare_libcurl_get(const std::string& url) {
  CURL* easy = curl_easy_init();
  std::string body;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &append_body);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  CURLcode result = curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  return result == CURLE_OK ? body.size() : 0;
}

}  // namespace

int main() {
  // The cookie store goes to a scratch folder, never the user's.
  char scratch[] = "/tmp/stdlookup-bench-XXXXXX";
  if (mkdtemp(scratch) == nullptr) return 1;
  setenv("XDG_DATA_HOME", scratch, 1);
  unsetenv("http_proxy");
  curl_global_init(CURL_GLOBAL_DEFAULT);

  int status = 0;
  {
    test::FixtureServer server;
    std::string page(30 * 1024, 'x');
    for (std::size_t i = 0; i < page.size(); i += 64) page[i] = '\n';
    test::CannedResponse response;
    response.headers = {{"Content-Type", "text/html; charset=GBK"}};
    response.body = page;
    server.serve("/page", response);
    const std::string url = server.url("/page");

    bool all_ok = true;
    auto run_request = [&] {
      for (int i = 0; i < kRequests; ++i)
        all_ok = all_ok && web_page_request(url).size() == page.size();
    };
    auto run_libcurl = [&] {
      for (int i = 0; i < kRequests; ++i) all_ok = all_ok && bare_libcurl_get(url) == page.size();
    };
    run_request();  // warm-up: page cache, the server's first threads
    run_libcurl();
    double request_s = 1e300;
    double libcurl_s = 1e300;
    for (int round = 0; round < kRounds; ++round) {  // interleaved, so drift hits both alike
      request_s = std::min(request_s, bench::best_of(1, run_request));
      libcurl_s = std::min(libcurl_s, bench::best_of(1, run_libcurl));
    }
    if (!all_ok) {
      std::fprintf(stderr, "a request failed: the figures would be meaningless\n");
      status = 1;
    } else {
      bench::print_figure("web_page_request_ms", request_s * 1000.0 / kRequests, "ms");
      bench::print_figure("libcurl_ms", libcurl_s * 1000.0 / kRequests, "ms");
      bench::print_figure("ratio", request_s / libcurl_s, "ratio");
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(scratch, ec);
  return status;
}
