// The steps the portable replacement (atomic_file.cpp) asks of a platform file, on native paths.
// Each returns the system's error number, or 0.
#pragma once

#include <string>

#include "runtime/atomic_file.h"

namespace stdlookup::replace_steps {

extern const char kSeparators[];  // what ends a folder's name in a path
extern const int kNoFolder;       // the path names no folder to write in
extern const int kIsFolder;       // the target is a folder, which no file replaces

bool is_folder(const std::string& path);  // a folder itself, not a link to one
// The file a link names, through every link; `path` when it is no link or names nothing.
std::string resolve_links(const std::string& path);
// Why an existing file may not be replaced in place (read-only, other hard links); "" when it
// may, or when there is no file.
Text in_place_refusal(const std::string& path);
// Creates a new, empty file in `folder` under a name of ours that no other file has.
int create_temporary(const std::string& folder, std::string& temp);
// The written file in the target's place: its mode (and with in_place its owner and group) and
// its data on disk first.
int put_in_place(const std::string& temp, const std::string& target, const ReplaceOptions& options);
// Removes the plain files of `folder` (never through a link) named as create_temporary names
// them and last written more than `age_seconds` ago.
void remove_temporaries(const std::string& folder, long long age_seconds);

}  // namespace stdlookup::replace_steps
