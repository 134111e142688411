// What requests cost, each comparison made in the same run:
// 1. web_page_request over a bare libcurl loop (a fresh easy handle, so a fresh connection, per
//    request): 500 sequential GETs of a 30 KB page from the loopback fixture server.
// 2. The cookie store: a request whose response sets a cookie, with 0, 5,000 and 20,000 cookies
//    in the store (100 hosts, the service's among them): the first request, which finds the
//    store as written, and the mean of the requests after it.
// 3. A batch of 10,000 lines through stdlookup-cli at --delay 0 against the demo service, beside
//    the Python program a user would write instead (bench/python_peer.py: urllib, and
//    requests.Session when python3-requests is installed), same lines, same run.
//    cli_vs_python is the CLI's wall time over the urllib peer's; cli_vs_python_cpu the same for
//    the processor time the programs used, which a busy machine distorts far less.
#include <arpa/inet.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench_util.h"
#include "sample_standards.h"
#include "support/fixture_server.h"
#include "support/subprocess.h"
#include "web/cookie_store.h"
#include "web/web_request.h"

extern char** environ;

using namespace stdlookup;

namespace {

const bool kShort = bench::short_run();
const int kRequests = kShort ? 5 : 500;
const int kRounds = kShort ? 1 : 3;
const int kBatchLines = kShort ? 50 : 10'000;  // the 50th is one the service does not hold
const int kBatchRounds = kShort ? 1 : 2;

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

bool request_against_libcurl() {
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
  if (!kShort) {
    run_request();  // warm-up: page cache, the server's first threads
    run_libcurl();
  }
  double request_s = 1e300;
  double libcurl_s = 1e300;
  for (int round = 0; round < kRounds; ++round) {  // interleaved, so drift hits both alike
    request_s = std::min(request_s, bench::best_of(1, run_request));
    libcurl_s = std::min(libcurl_s, bench::best_of(1, run_libcurl));
  }
  if (!all_ok) return false;
  bench::print_figure("web_page_request_ms", request_s * 1000.0 / kRequests, "ms");
  bench::print_figure("libcurl_ms", libcurl_s * 1000.0 / kRequests, "ms");
  bench::print_figure("ratio", request_s / libcurl_s, "ratio");
  return true;
}

void write_store(std::size_t cookies) {
  std::filesystem::create_directories(cookie_folder_path());
  std::ofstream out(cookie_folder_path() + "/" + kCookieStoreFileName, std::ios::binary);
  out << "# Netscape HTTP Cookie File\n";
  for (std::size_t i = 0; i < cookies; ++i) {
    const std::string host = i % 100 == 0 ? "127.0.0.1" : "h" + std::to_string(i % 100) + ".test";
    out << host << "\tFALSE\t/\tFALSE\t0\tc" << i << "\t" << std::string(20, 'v') << "\n";
  }
}

bool cookie_store_costs() {
  test::FixtureServer server;
  int visit = 0;
  server.serve("/c", [&visit](const test::RecordedRequest&) {
    test::CannedResponse r;
    r.headers = {{"Set-Cookie", "visit=" + std::to_string(++visit) + "; path=/"}};
    r.body = "ok";
    return r;
  });
  const std::string url = server.url("/c");
  const int kAfter = kShort ? 2 : 50;
  bool all_ok = true;
  for (std::size_t cookies :
       kShort ? std::vector<std::size_t>{0, 200} : std::vector<std::size_t>{0, 5000, 20000}) {
    double first_s = 1e300;
    double after_s = 1e300;
    for (int round = 0; round < kRounds; ++round) {
      clear_cookie_files();
      write_store(cookies);
      first_s = std::min(first_s, bench::best_of(1, [&] {
                           all_ok = all_ok && web_page_request(url).data == "ok";
                         }));
      after_s = std::min(after_s, bench::best_of(1, [&] {
                                    for (int i = 0; i < kAfter; ++i)
                                      all_ok = all_ok && web_page_request(url).data == "ok";
                                  }) / kAfter);
    }
    const std::string name = "cookies_" + std::to_string(cookies);
    bench::print_figure((name + "_first_ms").c_str(), first_s * 1000.0, "ms");
    bench::print_figure((name + "_ms").c_str(), after_s * 1000.0, "ms");
  }
  clear_cookie_files();
  return all_ok;
}

// A port that was free a moment ago.
int free_port() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

bool accepts(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

// The demo service on a port of its own for as long as this lives.
class DemoService {
 public:
  DemoService() : port_(free_port()) {
    const std::string port = std::to_string(port_);
    std::vector<char*> argv = {const_cast<char*>(STDLOOKUP_DEMO_SERVICE_PATH),
                               const_cast<char*>("--port"), const_cast<char*>(port.c_str()),
                               nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; pid_ != 0 && i < 500 && !accepts(port_); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~DemoService() {
    if (pid_ == 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  DemoService(const DemoService&) = delete;
  DemoService& operator=(const DemoService&) = delete;

  bool running() const { return pid_ != 0 && accepts(port_); }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int port_;
  pid_t pid_ = 0;
};

// User and system time of the children waited for so far.
double children_cpu_s() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool has_python_requests() {
  return test::run_process({"/usr/bin/python3", "-c", "import requests"}).exit_code == 0;
}

bool batch_against_python(const std::string& scratch) {
  DemoService service;
  if (!service.running()) {
    std::fprintf(stderr, "the demo service did not start\n");
    return false;
  }
  // The sample's numbers in turn, and now and then one the service does not hold.
  const std::string lines_file = scratch + "/lines.txt";
  {
    std::ofstream out(lines_file, std::ios::binary);
    const auto sample = demo::sample_standards();
    for (int i = 0; i < kBatchLines; ++i) {
      if (i % 50 == 49) {
        out << "GB 0000-" << i << "\n";
      } else {
        out << sample[static_cast<std::size_t>(i) % sample.size()].number << "\n";
      }
    }
  }
  const std::vector<std::string> cli = {
      STDLOOKUP_CLI_PATH, "--query-host", service.host(), "batch", lines_file, "--delay", "0",
      "--format",         "csv",          "--quiet"};
  const std::vector<std::string> urllib = {"/usr/bin/python3", STDLOOKUP_PYTHON_PEER,
                                           service.host(), lines_file};
  std::vector<std::string> session = urllib;
  session.push_back("--session");
  const bool with_session = has_python_requests();

  // Wall time, and the processor time the program itself used (user and system): on a busy
  // machine waiting for the processor swamps the wall times of both sides alike.
  struct Timing {
    double wall = 1e300;
    double cpu = 1e300;
    std::string out;
  };
  auto run = [](const std::vector<std::string>& argv, Timing& timing) {
    const double cpu_before = children_cpu_s();
    timing.wall = std::min(timing.wall, bench::best_of(1, [&] {
                             test::ProcessResult r = test::run_process(argv);
                             timing.out = r.exit_code == 0 ? r.out : std::string();
                           }));
    timing.cpu = std::min(timing.cpu, children_cpu_s() - cpu_before);
  };
  Timing cli_run, urllib_run, session_run;
  for (int round = 0; round < kBatchRounds; ++round) {  // interleaved, so drift hits all alike
    run(cli, cli_run);
    run(urllib, urllib_run);
    if (with_session) run(session, session_run);
  }
  const std::string& cli_out = cli_run.out;
  const std::string& urllib_out = urllib_run.out;
  const std::string& session_out = session_run.out;
  // All did the same work: the same CSV, byte for byte.
  const bool same =
      !cli_out.empty() && cli_out == urllib_out && (!with_session || session_out == cli_out);
  if (!same) {
    std::fprintf(stderr, "the CLI and its Python peers wrote different CSV: no figures\n");
    for (const std::string* peer : {&urllib_out, &session_out}) {
      if (peer->empty() || *peer == cli_out) continue;
      const auto at = std::mismatch(cli_out.begin(), cli_out.end(), peer->begin(), peer->end());
      const auto line = [](const std::string& text, std::string::const_iterator it) {
        const std::size_t from = text.rfind('\n', static_cast<std::size_t>(it - text.begin()));
        const std::size_t start = from == std::string::npos ? 0 : from + 1;
        return text.substr(start, text.find('\r', start) - start);
      };
      std::fprintf(stderr, "  the CLI:    %s\n  the peer:   %s\n", line(cli_out, at.first).c_str(),
                   line(*peer, at.second).c_str());
    }
    return false;
  }
  bench::print_figure("batch_10k_cli_s", cli_run.wall, "s");
  bench::print_figure("batch_10k_python_urllib_s", urllib_run.wall, "s");
  if (with_session) {
    bench::print_figure("batch_10k_python_requests_session_s", session_run.wall, "s");
  } else {
    std::printf("batch_10k_python_requests_session_s skipped (python3-requests not installed)\n");
  }
  bench::print_figure("batch_10k_cli_cpu_s", cli_run.cpu, "s");
  bench::print_figure("batch_10k_python_urllib_cpu_s", urllib_run.cpu, "s");
  if (with_session) {
    bench::print_figure("batch_10k_python_requests_session_cpu_s", session_run.cpu, "s");
  }
  bench::print_figure("cli_vs_python", cli_run.wall / urllib_run.wall, "ratio");
  bench::print_figure("cli_vs_python_cpu", cli_run.cpu / urllib_run.cpu, "ratio");
  return true;
}

}  // namespace

// request_bench [requests] [cookies] [batch]: the parts named, or all.
int main(int argc, char** argv) {
  auto wanted = [&](std::string_view part) {
    if (argc < 2) return true;
    for (int i = 1; i < argc; ++i) {
      if (argv[i] == part) return true;
    }
    return false;
  };
  // The cookie store goes to a scratch folder, never the user's; the CLI inherits it.
  char scratch[] = "/tmp/stdlookup-bench-XXXXXX";
  if (mkdtemp(scratch) == nullptr) return 1;
  setenv("XDG_DATA_HOME", scratch, 1);
  setenv("XDG_CONFIG_HOME", scratch, 1);  // no settings file of the user's (a proxy, say)
  unsetenv("STDLOOKUP_PROXY");
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
  curl_global_init(CURL_GLOBAL_DEFAULT);

  int status = 0;
  if (wanted("requests") && !request_against_libcurl()) {
    std::fprintf(stderr, "a request failed: the figures would be meaningless\n");
    status = 1;
  }
  if (wanted("cookies") && !cookie_store_costs()) {
    std::fprintf(stderr, "a request with a full cookie store failed\n");
    status = 1;
  }
  if (wanted("batch") && !batch_against_python(scratch)) status = 1;
  std::error_code ec;
  std::filesystem::remove_all(scratch, ec);
  return status;
}
