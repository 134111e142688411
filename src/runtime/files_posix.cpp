// Files on POSIX: deletion and wildcard enumeration with opendir/readdir and fnmatch.
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/system.h"

namespace stdlookup {

struct FileSearch::State {
  DIR* dir = nullptr;
  std::string folder;   // with a trailing "/" unless empty
  std::string pattern;  // last component, matched with fnmatch
  ~State() {
    if (dir) closedir(dir);
  }
};

FileSearch::FileSearch() = default;
FileSearch::~FileSearch() = default;
FileSearch::FileSearch(FileSearch&&) noexcept = default;
FileSearch& FileSearch::operator=(FileSearch&&) noexcept = default;

bool remove_file(const Text& path) {
  struct stat st;
  if (path.empty() || lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return unlink(path.c_str()) == 0;
}

namespace {

int attributes_of(const std::string& path, const char* name) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 && lstat(path.c_str(), &st) != 0) return kAttributeArchive;
  int attributes = S_ISDIR(st.st_mode) ? kAttributeDirectory : kAttributeArchive;
  if (!(st.st_mode & S_IWUSR)) attributes |= kAttributeReadOnly;
  if (name[0] == '.') attributes |= kAttributeHidden;
  return attributes;
}

bool accepted(int entry_attributes, int attributes, bool files_only) {
  if (files_only) return !(entry_attributes & kAttributeDirectory);
  int mask = attributes & 0x37;
  return mask == 0 ? entry_attributes == 0 : (entry_attributes & mask) != 0;
}

}  // namespace

Text next_matching_file(const Text& pattern, int attributes, bool files_only, FileSearch& search) {
  if (!pattern.empty()) {
    end_file_search(search);
    auto state = std::make_unique<FileSearch::State>();
    std::size_t slash = pattern.rfind('/');
    if (slash == std::string::npos) {
      state->pattern = pattern;
    } else {
      state->folder = pattern.substr(0, slash + 1);
      state->pattern = pattern.substr(slash + 1);
    }
    state->dir = opendir(state->folder.empty() ? "." : state->folder.c_str());
    if (!state->dir) return {};
    search.state_ = std::move(state);
  }
  if (!search.state_) return {};
  FileSearch::State& state = *search.state_;
  while (dirent* entry = readdir(state.dir)) {
    const char* name = entry->d_name;
    if (std::string_view(name) == "." || std::string_view(name) == "..") continue;
    if (fnmatch(state.pattern.c_str(), name, 0) != 0) continue;
    if (accepted(attributes_of(state.folder + name, name), attributes, files_only)) return name;
  }
  end_file_search(search);
  return {};
}

void end_file_search(FileSearch& search) {
  search.state_.reset();
}

}  // namespace stdlookup
