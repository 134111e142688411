// The request over a scripted transport with hostile response headers: the body comes back byte
// for byte, the header block as it arrived (when it fits), every received cookie comes from a
// Set-Cookie line, and well-formed Set-Cookie lines give exactly their name=value pairs.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "fuzz_check.h"
#include "runtime/text.h"
#include "web/recording_transport.h"
#include "web/text_utils.h"
#include "web/web_request.h"

using namespace stdlookup;

namespace {

constexpr std::size_t kHeaderBuffer = 5000;  // what the request reads of the header block

std::string lower(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return text;
}

std::string token(FuzzedDataProvider& input, const char* alphabet) {
  std::string out;
  const std::string_view chars(alphabet);
  for (std::size_t n = input.ConsumeIntegralInRange<std::size_t>(1, 12); n > 0; --n) {
    out += chars[input.ConsumeIntegralInRange<std::size_t>(0, chars.size() - 1)];
  }
  return out;
}

void check_hostile(FuzzedDataProvider& input) {
  test::RecordingTransport transport;
  transport.body = input.ConsumeRandomLengthString(20000);
  transport.raw_headers =
      "HTTP/1.1 200 OK\r\n" + fuzz::well_formed_gbk(input.ConsumeRemainingBytesAsString());
  Text jar = "a=1; b=2";
  Text received, headers;
  const Bytes body =
      web_page_request(transport, "http://h.example/p", 0, {}, &jar, &received, nullptr, &headers);
  FUZZ_CHECK(body.data == transport.body);
  const std::string& sent = *transport.raw_headers;
  if (sent.size() + 1 <= kHeaderBuffer && sent.find('\0') == std::string::npos) {
    FUZZ_CHECK(lower(headers) == lower(sent));  // only the case of "Set-Cookie" may differ
  }
  // A received cookie taken from a line with ";" is a part of that line (blanks removed, as the
  // merge into the jar does).
  for (const std::string& line : split_text(headers, "\r\n")) {
    if (find_text(line, "Set-Cookie:") == -1 || find_text(line, ";") == -1) continue;
    const Text item = trim_spaces(text_between(line, "Set-Cookie:", ";"));
    FUZZ_CHECK(item.empty() || fuzz::contains(received, remove_spaces(item)));
  }
  FUZZ_CHECK(received.empty() || fuzz::contains(lower(headers), "set-cookie"));
}

void check_well_formed(FuzzedDataProvider& input) {
  test::RecordingTransport transport;
  std::string raw = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n";
  std::string expected;
  for (int n = input.ConsumeIntegralInRange(0, 6); n > 0; --n) {
    const std::string pair = token(input, "abcXYZ09_-") + "=" + token(input, "abcXYZ09_-.%/=!");
    const char* const spellings[] = {"Set-Cookie: ", "set-cookie: ", "SET-COOKIE:"};
    raw += spellings[input.ConsumeIntegralInRange(0, 2)] + pair;
    if (input.ConsumeBool()) raw += "; Path=/; HttpOnly";
    raw += "\r\n";
    expected += (expected.empty() ? "" : "; ") + pair;
  }
  transport.raw_headers = raw + "\r\n";
  Text received;
  web_page_request(transport, "http://h.example/", 0, {}, nullptr, &received);
  FUZZ_CHECK(received == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  if (input.ConsumeBool()) {
    check_well_formed(input);
  } else {
    check_hostile(input);
  }
  return 0;
}
