#include "web/cookies.h"

#include <vector>

#include "runtime/text.h"

namespace stdlookup {
namespace {

bool is_deleted(std::string_view item) {
  return item.size() >= 8 && item.substr(item.size() - 8) == "=deleted";
}

Text join(const std::vector<Text>& items, std::string_view separator) {
  Text out;
  for (const Text& item : items) {
    out += item;
    out += separator;
  }
  return left_text(out, text_byte_count(out) - text_byte_count(separator));
}

}  // namespace

Text cookie_name(std::string_view item) {
  int eq = find_text(item, "=");
  return trim_spaces(eq == -1 ? item : std::string_view(left_text(item, eq - 1)));
}

Text drop_duplicate_items(std::string_view text, std::string_view separator) {
  std::vector<Text> kept;
  for (const Text& item : split_text(text, separator)) {
    bool seen = false;
    for (const Text& k : kept) seen = seen || k == item;
    if (!seen) kept.push_back(item);
  }
  return join(kept, separator);
}

Text merge_cookies(Text& cookie_jar, Text& received_cookies) {
  cookie_jar = remove_spaces(cookie_jar);
  received_cookies = remove_spaces(received_cookies);
  std::vector<Text> items = split_text(received_cookies, ";").items();
  std::vector<Text> names;
  for (const Text& item : items) names.push_back(cookie_name(item));
  for (const Text& old_item : split_text(cookie_jar, ";")) {
    Text name = cookie_name(old_item);
    bool present = false;
    for (const Text& n : names) present = present || n == name;
    if (!present) {  // the list grows, so of several old items with one name only the first joins
      items.push_back(old_item);
      names.push_back(std::move(name));
    }
  }
  std::vector<Text> alive;
  for (Text& item : items) {
    if (!is_deleted(item)) alive.push_back(std::move(item));
  }
  cookie_jar = drop_duplicate_items(join(alive, "; "), "; ");
  return cookie_jar;
}

}  // namespace stdlookup
