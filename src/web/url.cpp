#include "web/url.h"

#include "runtime/conversion.h"
#include "runtime/text.h"
#include "web/text_utils.h"

namespace stdlookup {

Text url_host(std::string_view url, bool keep_port) {
  Text u = to_lower(url);
  if (u.empty() || u.back() != '/') u += '/';
  if (left_text(u, 8) == "https://") {
    u = text_between(u, "https://", "/");
  } else {
    if (find_text(u, "http://") == -1) u = "http://" + u;
    u = text_between(u, "http://", "/");
  }
  if (!keep_port) {
    int colon = find_text(u, ":");
    if (colon != -1) u = left_text(u, colon - 1);
  }
  return u;
}

bool is_control_byte(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

Text percent_encode(std::string_view text, const std::function<bool(unsigned char)>& keep) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  Text out;
  out.reserve(text.size());
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    if (keep(b)) {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    }
  }
  return out;
}

Text percent_encode_controls(std::string_view text, std::string_view also) {
  return percent_encode(text, [also](unsigned char b) {
    return !is_control_byte(b) && also.find(static_cast<char>(b)) == std::string_view::npos;
  });
}

bool url_is_https(std::string_view url) {
  return to_lower(left_text(url, 5)) == "https";
}

int url_port(std::string_view url) {
  Text h = url_host(url, true);
  int colon = find_text_backward(h, ":");
  if (colon != -1) return to_integer(right_text(h, text_byte_count(h) - colon));
  return url_is_https(url) ? 443 : 80;
}

Text url_path(std::string_view url) {
  Text h = url_host(url);
  int p = find_text(url, h, 1, true);
  int s = find_text(url, "/", p);
  if (s > 0) return right_text(url, text_byte_count(url) - s + 1);
  return "/";
}

}  // namespace stdlookup
