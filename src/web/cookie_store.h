// The cookie store that requests without a caller-held cookie jar use: a folder of "*.txt" files
// in the Netscape cookie format, read before such a request and updated after it.
#pragma once

#include <string>
#include <vector>

#include "runtime/types.h"

namespace stdlookup {

// The store's folder: on Linux $XDG_DATA_HOME/stdlookup/Cookies, by default
// ~/.local/share/stdlookup/Cookies. Empty when no home folder is known.
Text cookie_folder_path();

// Deletes the regular "*.txt" files of the cookie folder whose names contain name_filter
// (case-sensitive; absent or empty means every one) and nothing else. The folder is written to
// *cookie_folder when given. True when at least one file was deleted.
bool clear_cookie_files(const Text* name_filter = nullptr, Text* cookie_folder = nullptr);

// One cookie per line: domain, tail match, path, secure, expiry, name, value, separated by tabs;
// "#HttpOnly_" may prefix the domain.
using CookieLines = std::vector<std::string>;

// Every cookie line of the store's files.
CookieLines load_cookie_store();

// Writes what a request changed, from the lines it started with to the lines it ended with, into
// the store's own file: new and changed cookies are put in, cookies that went away are taken
// out; what other requests saved meanwhile stays. Nothing is written when nothing changed.
// False when the store could not be written.
bool save_cookie_store_changes(const CookieLines& before, const CookieLines& after);

// The file of the store that requests write to.
inline constexpr const char* kCookieStoreFileName = "cookies.txt";

}  // namespace stdlookup
