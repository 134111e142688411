// The cookie merge: the jar keeps every received cookie that is not "=deleted", drops what was
// deleted, holds no item twice and no blank but its separators, and keeps of the old items only
// those whose names were not received.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "runtime/text.h"
#include "web/cookies.h"

using namespace stdlookup;

namespace {

std::vector<std::string> items_of(const std::string& text, const char* separator) {
  const TextArray parts = split_text(text, separator);
  return parts.items();
}

bool deleted(const std::string& item) {
  return item.size() >= 8 && item.compare(item.size() - 8, 8, "=deleted") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  Text jar = fuzz::well_formed_gbk(input.ConsumeRandomLengthString(200));
  Text received = fuzz::well_formed_gbk(input.ConsumeRemainingBytesAsString());
  const Text old_items = remove_spaces(jar);
  const Text new_items = remove_spaces(received);

  const Text merged = merge_cookies(jar, received);
  FUZZ_CHECK(merged == jar);
  FUZZ_CHECK(received == new_items);

  std::set<std::string> seen;
  std::set<std::string> received_names;
  for (const std::string& item : items_of(new_items, ";")) received_names.insert(cookie_name(item));
  const auto from_received = items_of(new_items, ";");
  const auto from_jar = items_of(old_items, ";");
  for (const std::string& item : items_of(merged, "; ")) {
    FUZZ_CHECK(seen.insert(item).second);  // no item twice
    FUZZ_CHECK(!deleted(item));
    FUZZ_CHECK(remove_spaces(item) == item);
    const bool received_item =
        std::find(from_received.begin(), from_received.end(), item) != from_received.end();
    const bool old_item = std::find(from_jar.begin(), from_jar.end(), item) != from_jar.end();
    FUZZ_CHECK(received_item || (old_item && !received_names.count(cookie_name(item))));
  }
  for (const std::string& item : from_received) {
    FUZZ_CHECK(deleted(item) || item.empty() || seen.count(item));
  }
  // Merging nothing into the jar keeps the first item of each name, and is then a fixed point.
  Text again = merged;
  Text none;
  const Text once = merge_cookies(again, none);
  std::set<std::string> names;
  for (const std::string& item : items_of(once, "; ")) {
    FUZZ_CHECK(names.insert(cookie_name(item)).second || item.empty());
    FUZZ_CHECK(seen.count(item));
  }
  FUZZ_CHECK(merge_cookies(again, none) == once);
  return 0;
}
