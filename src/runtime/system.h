// System operations without a window: pausing, files, threads and the end of the process. What
// needs a window is in runtime/window_services.h.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

void pause(int milliseconds);  // negative counts as 0

bool remove_file(const Text& path);  // a regular file only; true when it was deleted

// A native path (UTF-8 text, also on Windows) as a filesystem path.
std::filesystem::path native_path(std::string_view utf8);

// Directory enumeration by wildcard pattern ("dir/*.txt"; "*" and "?" in the last component).
// Owned by the caller; a default-constructed search is the closed handle (0).
class FileSearch {
 public:
  FileSearch();
  ~FileSearch();
  FileSearch(FileSearch&&) noexcept;
  FileSearch& operator=(FileSearch&&) noexcept;
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;

  bool is_open() const { return state_ != nullptr; }

  struct State;
  std::unique_ptr<State> state_;
};

// Entry attribute bits, as the enumeration reports them. "." and ".." are never reported.
enum FileAttribute : int {
  kAttributeReadOnly = 0x01,
  kAttributeHidden = 0x02,
  kAttributeDirectory = 0x10,
  kAttributeArchive = 0x20,  // every regular file carries it, as files usually do on Windows
};

// A non-empty pattern starts a new enumeration in `search`; an empty one continues it. With
// files_only, directories are skipped; otherwise an entry is accepted when its attributes share
// a bit with (attributes & 0x37), or are 0 when that mask is 0. Returns the bare name, or the
// empty text once nothing is left (the search is then closed).
Text next_matching_file(const Text& pattern, int attributes, bool files_only, FileSearch& search);
void end_file_search(FileSearch& search);

// Starts `procedure` on a new thread that runs at once and is not joined: it ends with its
// procedure or with the process. Returns whether the thread could be created.
bool start_thread(std::function<void()> procedure);
// Replaces thread creation (tests, e.g. to make it fail); an empty function restores the real one.
void set_thread_starter(std::function<bool(std::function<void()>)> starter);

// Flushes the standard streams and ends the process without running static destructors or
// waiting for other threads (a batch thread may be blocked on the GUI thread at that moment).
[[noreturn]] void end_process(int code);

}  // namespace stdlookup
