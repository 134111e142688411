#include "web/text_utils.h"

#include "runtime/gbk.h"
#include "runtime/text.h"

namespace stdlookup {

using namespace literals;

namespace {

Text with_quotes(std::string_view marker) {
  const Text& placeholder = "#引号"_gbk;
  if (marker.find(placeholder) == std::string_view::npos) return Text(marker);  // the usual case
  return replace_text(marker, placeholder, "\"", 1, std::nullopt, true);
}

}  // namespace

Text text_between(std::string_view text, std::string_view left, std::string_view right) {
  Text l = with_quotes(left);
  Text r = with_quotes(right);
  int a = find_text(text, l);
  if (a == -1) return {};
  a += text_byte_count(l);
  int b = find_text(text, r, a);
  if (b == -1) return {};
  return middle_text(text, a, b - a);
}

Text text_after_colon(std::string_view text) {
  int p = find_text(text, ":");
  if (p == -1) return {};
  return trim_spaces(right_text(text, text_byte_count(text) - p));
}

}  // namespace stdlookup
