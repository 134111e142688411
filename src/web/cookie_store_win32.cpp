// The cookie store on Windows: the folder named by the per-user shell folder setting, and
// WinINet's own store behind it.
#include "web/cookie_store_win32.h"

#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <mutex>
#include <set>

#include "runtime/binding_win32.h"
#include "runtime/registry_win32.h"
#include "runtime/system.h"
#include "runtime/text.h"
#include "runtime/win32_text.h"
#include "web/cookie_store.h"
#include "web/cookies.h"

namespace stdlookup {
namespace {

constexpr std::string_view kCookieFolderValue =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Cookies";
constexpr std::size_t kRememberedUrlLimit = 256;

std::mutex urls_mutex;
std::set<std::string> remembered_urls;

// The URL a cookie set for `url` is read back from: its folder part, without the query.
std::string cookie_base(const std::string& url) {
  std::string base = url.substr(0, url.find('?'));
  std::size_t scheme_end = base.find("://");
  std::size_t path_start = base.find('/', scheme_end == std::string::npos ? 0 : scheme_end + 3);
  if (path_start == std::string::npos) return base + "/";
  base.resize(base.rfind('/') + 1);
  return base;
}

// Ends WinINet's session cookies and expires the persistent ones stored for each URL requests
// went to, at its own path and at "/".
void clear_wininet_cookies() {
  std::set<std::string> urls;
  {
    std::lock_guard lock(urls_mutex);
    urls = remembered_urls;
  }
  auto get_cookie = bound_function<decltype(&::InternetGetCookieA)>(kBoundInternetGetCookieA);
  auto set_cookie = bound_function<decltype(&::InternetSetCookieA)>(kBoundInternetSetCookieA);
  for (const std::string& url : urls) {
    std::string cookies(8192, '\0');
    DWORD size = static_cast<DWORD>(cookies.size());
    if (!get_cookie(url.c_str(), nullptr, cookies.data(), &size)) continue;
    cookies.resize(std::min<std::size_t>(size, std::strlen(cookies.c_str())));
    const std::size_t path_start = url.find('/', url.find("://") + 3);
    const std::string path = url.substr(path_start);
    for (const Text& item : split_text(cookies, ";")) {
      const Text name = cookie_name(item);
      if (name.empty()) continue;
      for (const std::string& cookie_path : {path, std::string("/")}) {
        const std::string data =
            name + "=; expires=Thu, 01-Jan-1970 00:00:01 GMT; path=" + cookie_path;
        set_cookie(url.c_str(), nullptr, data.c_str());
      }
    }
  }
  bound_function<decltype(&::InternetSetOptionA)>(kBoundInternetSetOptionA)(
      nullptr, INTERNET_OPTION_END_BROWSER_SESSION, nullptr, 0);
}

bool is_plain_folder(const Text& folder) {
  DWORD attributes = GetFileAttributesW(win32::gbk_to_wide(folder).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

void remember_cookie_url(const std::string& url) {
  std::lock_guard lock(urls_mutex);
  if (remembered_urls.size() < kRememberedUrlLimit) remembered_urls.insert(cookie_base(url));
}

Text cookie_folder_path() {
  return read_registry_text(kCurrentUser, kCookieFolderValue);
}

bool clear_cookie_files(const Text* name_filter, Text* cookie_folder) {
  const Text folder = cookie_folder_path();
  if (cookie_folder != nullptr) *cookie_folder = folder;
  const Text filter = name_filter != nullptr ? *name_filter : Text();
  // A selective clearing names sites whose files go; WinINet's store is emptied by a full one.
  if (filter.empty()) clear_wininet_cookies();
  // A folder that is a link (a junction or symbolic link) is not cleared through: its files
  // belong to whatever it points to.
  if (folder.empty() || !is_plain_folder(folder)) return false;

  bool deleted = false;
  FileSearch search;
  for (Text name = next_matching_file(folder + "\\*.txt", 0, true, search); !name.empty();
       name = next_matching_file({}, 0, true, search)) {
    if (!filter.empty() && find_text(name, filter) == -1) continue;
    if (remove_file(folder + "\\" + name)) deleted = true;
  }
  return deleted;
}

}  // namespace stdlookup
