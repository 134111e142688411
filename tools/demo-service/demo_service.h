// A local stand-in for both web services the tool talks to: the standards query service's
// detail pages and the download search service's result list, detail pages and downloads, all
// in GBK, shaped as the real pages are.
#pragma once

#include <httplib.h>

#include <string>

namespace stdlookup::demo {

// Registers every route of both services on `server`.
void register_routes(httplib::Server& server);

// The pages, GBK; `host` is the Host the request came to (for absolute links).
std::string detail_page_for(const std::string& number_gbk);
std::string search_page_for(const std::string& keyword_gbk, const std::string& host);

}  // namespace stdlookup::demo
