// Atomic replacement over the platform's steps: a temporary file of ours in the target's folder
// (the same file system), written, checked and put in place; on any failure it goes.
#include "runtime/atomic_file.h"

#include <filesystem>

#include "runtime/atomic_file_platform.h"
#include "runtime/system.h"

namespace stdlookup {
namespace {

namespace steps = replace_steps;

// A killed writer's temporary file goes once it is a day old (a live writer's is minutes old).
constexpr long long kStaleSeconds = 24 * 60 * 60;

// The folder a new file of `target` goes in; false when the path names none.
bool folder_of(const std::string& target, std::string& folder) {
  const std::size_t slash = target.find_last_of(steps::kSeparators);
  if (target.empty() || slash == target.size() - 1) return false;
  // A root ("/", "\", "C:\") keeps its separator.
  const bool root = slash == 0 || (slash == 2 && target[1] == ':');
  folder = slash == std::string::npos ? "." : target.substr(0, root ? slash + 1 : slash);
  return true;
}

// The checks every replacement makes before writing; the file to replace goes to `resolved`.
FileReplacement target_checks(const std::string& target, const ReplaceOptions& options,
                              std::string& resolved, std::string& folder) {
  resolved = options.in_place ? steps::resolve_links(target) : target;
  if (!folder_of(resolved, folder)) return {steps::kNoFolder, {}};
  if (steps::is_folder(resolved)) return {steps::kIsFolder, {}};
  if (options.in_place) return {0, steps::in_place_refusal(resolved)};
  return {};
}

}  // namespace

std::string linked_file(const std::string& path) {
  return steps::resolve_links(path);
}

Text replacement_problem(const std::string& target, const ReplaceOptions& options) {
  std::string resolved, folder, temp;
  if (FileReplacement checked = target_checks(target, options, resolved, folder); !checked.ok())
    return failure_of(checked);
  if (int error = steps::create_temporary(folder, temp)) return describe_file_error(error);
  std::error_code error;
  std::filesystem::remove(native_path(temp), error);
  return {};
}

FileReplacement replace_file(const std::string& given_target,
                             const std::function<Text(const std::string&)>& write,
                             const std::function<Text(const std::string&)>& check,
                             ReplaceOptions options) {
  std::string target, folder;
  if (FileReplacement checked = target_checks(given_target, options, target, folder); !checked.ok())
    return checked;
  steps::remove_temporaries(folder, kStaleSeconds);
  std::string temp;
  if (int error = steps::create_temporary(folder, temp)) return {error, {}};

  // From here on the temporary file goes, whatever happens.
  struct Cleanup {
    const std::string& path;
    bool keep = false;
    ~Cleanup() {
      std::error_code error;
      if (!keep) std::filesystem::remove(native_path(path), error);
    }
  } cleanup{temp};

  if (Text failure = write(temp); !failure.empty()) return {0, failure};
  if (check) {
    if (Text failure = check(temp); !failure.empty()) return {0, failure};
  }
  // Last, so that nothing saved meanwhile is overwritten unseen.
  if (options.before_replacing) {
    if (Text failure = options.before_replacing(); !failure.empty()) return {0, failure};
  }
  if (int error = steps::put_in_place(temp, target, options)) return {error, {}};
  cleanup.keep = true;
  return {};
}

}  // namespace stdlookup
