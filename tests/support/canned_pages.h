// The detail page of the standards query service as it was captured (GBK), and variants of it.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "support/gbk_literals.h"

namespace stdlookup::test {

// The page of GB 2760-2014, current.
inline std::string canned_detail_page() {
  std::ifstream in(std::string(STDLOOKUP_TEST_DATA_DIR) + "/detail_gb2760.htm", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The same page with its status word "现行" replaced by `utf8_word`.
inline std::string canned_detail_page_with_status(const std::string& utf8_word) {
  std::string page = canned_detail_page();
  return page.replace(page.find(g("现行")), g("现行").size(), g(utf8_word));
}

// What a captive portal answers with 200 in place of any page: no field, no status word.
inline std::string portal_page() {
  return g("<form action=\"/login\">请先登录</form>");
}

}  // namespace stdlookup::test
