#include "demo_service.h"

#include <cctype>

#include "runtime/gbk.h"
#include "sample_standards.h"

namespace stdlookup::demo {
namespace {

constexpr const char* kHtml = "text/html; charset=gb2312";

// Numbers compare without blanks and letter case, as people type them.
std::string normalized(const std::string& utf8) {
  std::string out;
  for (char c : utf8) {
    if (c != ' ') out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return out;
}

const SampleStandard* find_standard(const std::string& number_utf8) {
  const std::string wanted = normalized(number_utf8);
  for (const SampleStandard& s : sample_standards()) {
    if (!wanted.empty() && normalized(s.number) == wanted) return &s;
  }
  return nullptr;
}

std::size_t index_of(const SampleStandard& s) {
  return static_cast<std::size_t>(&s - sample_standards().data());
}

std::string html_escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

// Pages are written with "\n" and sent with "\r\n", as the service sends them.
std::string to_wire(const std::string& utf8_page) {
  std::string crlf;
  for (char c : utf8_page) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return utf8_to_gbk(crlf);
}

std::string apology_page(const std::string& number_utf8) {
  return to_wire(
      "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\n"
      "<title>标准查询</title>\n</head>\n<body>\n<p class=\"tip\">抱歉，没有找到标准号为“" +
      html_escape(number_utf8) + "”的标准，请检查后重新输入。</p>\n</body>\n</html>\n");
}

}  // namespace

std::string detail_page_for(const std::string& number_gbk) {
  const std::string number = gbk_to_utf8(number_gbk);
  const SampleStandard* s = find_standard(number);
  if (!s) return apology_page(number);
  const std::string status = s->current ? "现行" : "作废";
  const std::string colour = s->current ? "#009900" : "#FF0000";
  return to_wire(
      "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\n"
      "<title>" +
      std::string(s->number) + " " + s->chinese_name +
      "</title>\n</head>\n<body>\n"
      "<table width=\"100%\" border=\"0\" cellpadding=\"3\" cellspacing=\"1\" class=\"detail\">\n"
      "  <tr>\n"
      "    <td width=\"20%\" align=\"right\"><span class=\"blue\">标准编号：</span></td>\n"
      "      <td colspan=\"2\">" +
      s->number +
      "&nbsp;</td>\n"
      "  </tr>\n"
      "  <tr>\n"
      "    <td align=\"right\"><span class=\"blue\">中文名称：</span></td>\n"
      "         <td colspan=\"2\">" +
      s->chinese_name +
      "</td>\n"
      "  </tr>\n"
      "  <tr>\n"
      "    <td align=\"right\"><span class=\"blue\">标准状态：</span></td>\n"
      "      <td><font color=\"" +
      colour + "\">" + status +
      "</font>&nbsp;</td>\n"
      "  </tr>\n"
      "  <tr>\n"
      "    <td align=\"right\"><span class=\"blue\">实施日期：</span>" +
      s->implementation_date +
      "&nbsp;</td>\n"
      "  </tr>\n"
      "  <tr>\n"
      "    <td align=\"right\"><span class=\"blue\">发布部门：</span></td>\n"
      "      <td>" +
      s->publishing_department +
      "&nbsp;</td>\n"
      "  </tr>\n"
      "</table>\n</body>\n</html>\n");
}

std::string search_page_for(const std::string& keyword_gbk, const std::string& host) {
  const std::string keyword = normalized(gbk_to_utf8(keyword_gbk));
  std::string entries;
  for (const SampleStandard& s : sample_standards()) {
    if (keyword.empty() || normalized(s.number).find(keyword) == std::string::npos) continue;
    entries += "<LI><SPAN class=posttimeaa>" + std::string(s.implementation_date) +
               "</SPAN><A title=\"" + s.number + " " + s.chinese_name + "\" href=\"http://" + host +
               "/standard/" + std::to_string(index_of(s)) +
               ".html\" target=_blank style=\"font-size:14px\">" + s.number + " " + s.chinese_name +
               "</A></LI>\n";
  }
  if (entries.empty()) entries = "<p>没有找到相关标准。</p>\n";
  return to_wire(
      "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\n"
      "<title>标准下载 搜索结果</title>\n</head>\n<body>\n<UL class=list>\n" +
      entries + "</UL>\n</body>\n</html>\n");
}

void register_routes(httplib::Server& server) {
  server.Get("/gbquery.htm", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(detail_page_for(req.get_param_value("SID")), kHtml);
  });
  server.Get("/standard/search.php", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(search_page_for(req.get_param_value("kw"), req.get_header_value("Host")),
                    kHtml);
  });
  server.Get(R"(/standard/(\d+)\.html)", [](const httplib::Request& req, httplib::Response& res) {
    std::size_t index = std::stoul(req.matches[1]);
    if (index >= sample_standards().size()) {
      res.status = 404;
      return;
    }
    const SampleStandard& s = sample_standards()[index];
    std::string link = s.downloadable
                           ? "<a class=\"telecom\" href=\"http://" + req.get_header_value("Host") +
                                 "/download/" + std::to_string(index) + ".txt\">电信下载</a>\n"
                           : "<p>本标准暂不提供下载。</p>\n";
    res.set_content(to_wire("<html>\n<head>\n<title>" + std::string(s.number) +
                            "</title>\n</head>\n<body>\n<h1>" + s.number + " " + s.chinese_name +
                            "</h1>\n" + link + "</body>\n</html>\n"),
                    kHtml);
  });
  server.Get(R"(/download/(\d+)\.txt)", [](const httplib::Request& req, httplib::Response& res) {
    std::size_t index = std::stoul(req.matches[1]);
    if (index >= sample_standards().size() || !sample_standards()[index].downloadable) {
      res.status = 404;
      return;
    }
    const SampleStandard& s = sample_standards()[index];
    res.set_content(std::string(s.number) + " " + s.chinese_name +
                        "\n\n(stdlookup demo service: a stand-in for the standard's text)\n",
                    "text/plain; charset=utf-8");
  });
}

}  // namespace stdlookup::demo
