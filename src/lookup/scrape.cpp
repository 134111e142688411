#include "lookup/scrape.h"

#include "runtime/gbk.h"
#include "runtime/text.h"
#include "web/text_utils.h"

namespace stdlookup {

using namespace literals;

DetailPage scrape_detail_page(std::string_view page) {
  DetailPage result;
  StandardRecord& f = result.fields;
  // Six blanks before the cell tag in the number and department markers, nine in the name one.
  f.number =
      text_between(page, "标准编号：</span></td>\r\n      <td colspan=\"2\">"_gbk, "&nbsp;</td>");
  f.chinese_name = text_between(
      page,
      "<td align=\"right\"><span class=\"blue\">中文名称：</span></td>\r\n         <td colspan=\"2\">"_gbk,
      "</td>");
  f.implementation_date = text_between(page, "实施日期：</span>"_gbk, "&nbsp");
  f.publishing_department = text_between(page, "发布部门：</span></td>\r\n      <td>"_gbk, "&nbsp");
  result.current = find_text(page, "现行"_gbk) != -1;
  result.abolished = find_text(page, "作废"_gbk) != -1;
  result.apology = find_text(page, "抱歉"_gbk) != -1;
  return result;
}

bool is_standard_page(const DetailPage& page) {
  return !page.fields.number.empty() || page.current || page.abolished || page.apology;
}

const Text& status_current() {
  return "现行"_gbk;
}
const Text& status_abolished() {
  return "作废"_gbk;
}
const Text& status_not_found() {
  return "抱歉，没找到"_gbk;
}
const Text& status_failed() {
  return "查询失败"_gbk;
}

}  // namespace stdlookup
