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

}  // namespace

FileReplacement replace_file(const std::string& target,
                             const std::function<Text(const std::string&)>& write,
                             const std::function<Text(const std::string&)>& check,
                             ReplaceOptions options) {
  const std::size_t slash = target.find_last_of(steps::kSeparators);
  if (target.empty() || slash == target.size() - 1) return {steps::kNoFolder, {}};
  if (steps::is_folder(target)) return {steps::kIsFolder, {}};
  // A root ("/", "\", "C:\") keeps its separator.
  const bool root = slash == 0 || (slash == 2 && target[1] == ':');
  const std::string folder =
      slash == std::string::npos ? "." : target.substr(0, root ? slash + 1 : slash);
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
  if (int error = steps::put_in_place(temp, target, options)) return {error, {}};
  cleanup.keep = true;
  return {};
}

}  // namespace stdlookup
