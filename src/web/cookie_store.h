// The cookie store that requests without a caller-held cookie jar use: a folder of "*.txt" files
// in the Netscape cookie format, read before such a request and updated after it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/types.h"

namespace stdlookup {

// The store's folder: on Linux $XDG_DATA_HOME/stdlookup/Cookies, by default
// ~/.local/share/stdlookup/Cookies. Empty when no home folder is known.
Text cookie_folder_path();

// Deletes the regular "*.txt" files of the cookie folder whose names contain name_filter
// (case-sensitive; absent or empty means every one) and nothing else. The folder is written to
// *cookie_folder when given. True when at least one file was deleted. A cookie folder that is a
// symbolic link is not the store's own: nothing is deleted through it.
bool clear_cookie_files(const Text* name_filter = nullptr, Text* cookie_folder = nullptr);

// One cookie per line: domain, tail match, path, secure, expiry, name, value, separated by tabs;
// "#HttpOnly_" may prefix the domain.
using CookieLines = std::vector<std::string>;

// The store is bounded as browsers bound theirs: at most this many cookies per host and in all;
// beyond that the oldest (those nearest the start of the store's files) are dropped.
inline constexpr std::size_t kCookiesPerHost = 180;
inline constexpr std::size_t kCookiesInStore = 3000;

// Of each file the store reads at most this many lines, and no more than these bytes of them.
inline constexpr std::size_t kCookieFileLines = 10'000;
inline constexpr std::size_t kCookieFileBytes = 4u << 20;

// The cookie lines of the store's files, in file order, read in one pass: a later line with the
// same domain, path and name replaces an earlier one, expired cookies and those over the bounds
// are left out. Nothing when the folder is a symbolic link.
CookieLines load_cookie_store();

// The lines that the store keeps of these, oldest first: as load_cookie_store describes.
CookieLines bounded_cookie_lines(CookieLines lines);

// The lines whose cookies a request to `host` may carry: the domain is the host or one of its
// parent domains (letter case aside). HTTP engines keep cookies in lists whose filling and
// listing cost grows with the square of their length; this keeps them to one host's share.
CookieLines cookies_for_host(const CookieLines& lines, std::string_view host);

// Writes what a request changed, from the lines it started with to the lines it ended with, into
// the store's own file: new and changed cookies are put in, cookies that went away are taken
// out; what other requests saved meanwhile stays; the result is bounded. Nothing is written when
// nothing changed. False when the store could not be written (or its folder is a link).
bool save_cookie_store_changes(const CookieLines& before, const CookieLines& after);

// The file of the store that requests write to.
inline constexpr const char* kCookieStoreFileName = "cookies.txt";

}  // namespace stdlookup
