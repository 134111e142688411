// Cutting a standard's fields out of the query service's detail page (GBK, as it arrived, up to
// its first zero byte) with fixed markers, and the status words found anywhere on it.
#pragma once

#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

// The fields of one standard: raw page text, untrimmed, undecoded, in GBK.
struct StandardRecord {
  Text number;
  Text chinese_name;
  Text status;
  Text implementation_date;
  Text publishing_department;
  friend bool operator==(const StandardRecord&, const StandardRecord&) = default;
};

// What a detail page holds: the four marked fields (status left empty) and which of the words
// "现行", "作废" and "抱歉" occur on it (character-stepped, case-sensitive).
struct DetailPage {
  StandardRecord fields;
  bool current = false;    // "现行"
  bool abolished = false;  // "作废"
  bool apology = false;    // "抱歉": the service does not hold the number
};

DetailPage scrape_detail_page(std::string_view page);

// Whether the page is a standard's page at all: it gives the number or holds one of the status
// words. A login portal, a block page or a redesigned site does neither, and must never pass
// for "现行".
bool is_standard_page(const DetailPage& page);

// The status words in UTF-8, for the lists and the command line.
namespace status_words {
inline constexpr std::string_view current = "现行";
inline constexpr std::string_view abolished = "作废";
inline constexpr std::string_view not_found = "抱歉，没找到";
inline constexpr std::string_view failed = "查询失败";
}  // namespace status_words

// The status texts (GBK).
const Text& status_current();    // "现行"
const Text& status_abolished();  // "作废"
const Text& status_not_found();  // "抱歉，没找到"
const Text& status_failed();     // "查询失败"

}  // namespace stdlookup
