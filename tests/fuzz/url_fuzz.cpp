// URL splitting: hosts lower-case and free of the character "/" (and of ":" without the port),
// paths that are the URL's tail, a URL put together from parts splits back into them, and
// percent-encoding that leaves no control byte and decodes back.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz_check.h"
#include "runtime/text.h"
#include "web/url.h"

using namespace stdlookup;

namespace {

void check_any(const std::string& url) {
  const Text host = url_host(url);
  const Text host_port = url_host(url, true);
  FUZZ_CHECK(to_lower(host) == host);
  FUZZ_CHECK(host_port.compare(0, host.size(), host) == 0);
  const auto bounds = fuzz::boundaries(host_port);
  for (std::size_t i = 0; i < host_port.size(); ++i) FUZZ_CHECK(!bounds[i] || host_port[i] != '/');
  const Text path = url_path(url);
  FUZZ_CHECK(!path.empty() && path[0] == '/');
  FUZZ_CHECK(path == "/" || (path.size() <= url.size() &&
                             url.compare(url.size() - path.size(), path.size(), path) == 0));
  if (!fuzz::contains(host_port, ":")) {
    FUZZ_CHECK(url_port(url) == (url_is_https(url) ? 443 : 80));
  }
}

std::string token(FuzzedDataProvider& input, const char* alphabet, std::size_t max) {
  std::string out;
  const std::string_view chars(alphabet);
  for (std::size_t n = input.ConsumeIntegralInRange<std::size_t>(1, max); n > 0; --n) {
    out += chars[input.ConsumeIntegralInRange<std::size_t>(0, chars.size() - 1)];
  }
  return out;
}

// scheme://host[:port]/path with a dotted host (so no part of the scheme is mistaken for it).
void check_round_trip(FuzzedDataProvider& input) {
  const bool https = input.ConsumeBool();
  const std::string host = token(input, "abcxyz019-", 6) + "." + token(input, "abcxyz019-.", 6);
  const int port = input.ConsumeBool() ? input.ConsumeIntegralInRange(1, 65535) : 0;
  const std::string path = "/" + input.ConsumeRandomLengthString(40);
  std::string url = (https ? "https://" : "http://") + host;
  if (input.ConsumeBool()) url[0] = 'H';  // the scheme in any case
  if (port) url += ":" + std::to_string(port);
  url += path;
  FUZZ_CHECK(url_host(url) == host);
  FUZZ_CHECK(url_port(url) == (port ? port : https ? 443 : 80));
  FUZZ_CHECK(url_path(url) == path);
}

bool is_hex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}
int hex_value(char c) {
  return c <= '9' ? c - '0' : c - 'A' + 10;
}

// With "%" among the bytes to encode, the result decodes back to the text.
void check_percent_encoding(const std::string& text, std::string also) {
  also += '%';
  const Text encoded = percent_encode_controls(text, also);
  std::string decoded;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    auto b = static_cast<unsigned char>(encoded[i]);
    FUZZ_CHECK(b >= 0x20 && b != 0x7F);
    if (b != '%') {
      FUZZ_CHECK(also.find(encoded[i]) == std::string::npos);
      decoded += encoded[i];
      continue;
    }
    FUZZ_CHECK(i + 2 < encoded.size() && is_hex(encoded[i + 1]) && is_hex(encoded[i + 2]));
    decoded += static_cast<char>(hex_value(encoded[i + 1]) * 16 + hex_value(encoded[i + 2]));
    i += 2;
  }
  FUZZ_CHECK(decoded == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:
      check_any(input.ConsumeRemainingBytesAsString());
      break;
    case 1:
      check_round_trip(input);
      break;
    default: {
      const std::string also = input.ConsumeRandomLengthString(4);
      check_percent_encoding(input.ConsumeRemainingBytesAsString(), also);
    }
  }
  return 0;
}
