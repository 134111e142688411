// Replacing a file only by complete content: a temporary file in the target's folder is written,
// checked, flushed to disk and then renamed over the target. Whatever fails, the target stays as
// it was and no temporary file is left behind. Paths are native.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

struct FileReplacement {
  int error = 0;  // the system's error number of a failed step
  Text failure;   // what `write` or `check` reported
  bool ok() const { return error == 0 && failure.empty(); }
};

struct ReplaceOptions {
  bool private_file = false;  // readable by the user alone; else the target's mode, or the
                              // usual mode of a new file
  bool sync = true;           // flush the data to disk before the rename
  // A file the user keeps, replaced in place: a link is followed and the file it names is
  // replaced; its owner and group are kept too (as far as we may); a read-only file, or one
  // with other hard links (which a new file would part from it), is refused.
  bool in_place = false;
  // Called once the new file is written and checked, just before it takes the target's place:
  // a failure text (e.g. "changed since it was read") leaves the target as it is.
  std::function<Text()> before_replacing;
};

// `write` fills the temporary file at the path it is given and returns a failure text or "";
// `check` (optional) verifies the written file the same way. Missing folders are not created.
FileReplacement replace_file(const std::string& target,
                             const std::function<Text(const std::string& temp_path)>& write,
                             const std::function<Text(const std::string& temp_path)>& check = {},
                             ReplaceOptions options = {});

// Why `target` could not be replaced as `options` ask, found without touching it: its folder
// missing or not writable (a file is made there and removed), a folder in its place, and for
// in_place a read-only file or other hard links. "" when it could.
Text replacement_problem(const std::string& target, const ReplaceOptions& options = {});

// The file `path` names, links followed (as in_place replaces it); `path` when it names none.
std::string linked_file(const std::string& path);

// Writes `content` to `path`; the system's error number, or 0.
int write_whole_file(const std::string& path, std::string_view content);

// What went wrong, for the user (GBK): a folder missing, no permission, a full disk, …
Text describe_file_error(int error);

// A `write` for replace_file that writes `content`, which must outlive the replacement.
inline auto content_writer(std::string_view content) {
  return [content](const std::string& temp) {
    const int error = write_whole_file(temp, content);
    return error ? describe_file_error(error) : Text();
  };
}

// The failure text of a replacement ("" when it worked).
inline Text failure_of(const FileReplacement& result) {
  return result.failure.empty() && result.error != 0 ? describe_file_error(result.error)
                                                     : result.failure;
}

}  // namespace stdlookup
