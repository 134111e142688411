#include "web/cookie_store.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "runtime/atomic_file.h"
#include "runtime/bounded_file.h"
#include "runtime/system.h"
#include "runtime/text.h"
#include "web/cookie_store_platform.h"

namespace stdlookup {
namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

// One lock for the whole process: the window thread and the batch thread may request at the
// same time, and clearing must not interleave with a save.
std::mutex& store_mutex() {
  static std::mutex mutex;
  return mutex;
}

// A cookie is identified by domain, path and name; a later line with the same key replaces it.
// The parts are views into the cookie's line, which must outlive the key.
struct CookieKey {
  std::string_view domain;
  std::string_view path;
  std::string_view name;
  bool operator==(const CookieKey&) const = default;
};

struct CookieKeyHash {
  std::size_t operator()(const CookieKey& key) const {
    std::hash<std::string_view> hash;
    return hash(key.domain) ^ (hash(key.path) * 31) ^ (hash(key.name) * 961);
  }
};

using CookieKeys = std::unordered_set<CookieKey, CookieKeyHash>;

std::optional<CookieKey> key_of(std::string_view line) {
  if (line.empty()) return std::nullopt;
  if (line.front() == '#') {
    if (line.substr(0, kHttpOnlyPrefix.size()) != kHttpOnlyPrefix) return std::nullopt;
    line.remove_prefix(kHttpOnlyPrefix.size());
  }
  std::string_view fields[6];
  for (std::string_view& field : fields) {
    std::size_t tab = line.find('\t');
    field = line.substr(0, tab);
    if (tab == std::string_view::npos) {
      if (&field != &fields[5]) return std::nullopt;  // fewer than six fields
      break;
    }
    line.remove_prefix(tab + 1);
  }
  if (fields[0].empty() || fields[5].empty()) return std::nullopt;
  return CookieKey{fields[0], fields[2], fields[5]};
}

// A persistent cookie whose expiry time has passed; 0 marks a session cookie.
bool expired(std::string_view line, std::time_t now) {
  for (int field = 0; field < 4; ++field) {
    std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return false;
    line.remove_prefix(tab + 1);
  }
  line = line.substr(0, line.find('\t'));
  long long expiry = 0;
  std::from_chars(line.data(), line.data() + line.size(), expiry);
  return expiry > 0 && expiry < now;
}

void append_cookie_lines(std::string_view content, CookieLines& lines) {
  while (!content.empty()) {
    std::size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (key_of(line)) lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    content.remove_prefix(end + 1);
  }
}

// The host a line's cookie belongs to: its domain without the HttpOnly mark and leading dot.
std::string_view host_of(std::string_view line) {
  if (line.substr(0, kHttpOnlyPrefix.size()) == kHttpOnlyPrefix) {
    line.remove_prefix(kHttpOnlyPrefix.size());
  }
  line = line.substr(0, line.find('\t'));
  while (!line.empty() && line.front() == '.') line.remove_prefix(1);
  return line;
}

// A folder that is a symbolic link may point anywhere: the store neither reads, writes nor
// deletes through it.
bool is_link(const Text& folder) {
  std::error_code ec;
  return std::filesystem::is_symlink(std::filesystem::symlink_status(folder, ec));
}

bool is_regular_file(const Text& path) {
  std::error_code ec;
  return std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::regular;
}

// The first kCookieFileLines whole lines of a cookie file (at most kCookieFileBytes): a file
// that something else filled must not cost every request its whole length.
std::string read_file(const Text& path) {
  BoundedFile file;
  std::string content;
  if (!file.open(path, UINT64_MAX).empty()) return content;
  char buffer[65536];
  std::size_t lines = 0, whole = 0;  // whole: the bytes of the complete lines
  while (lines < kCookieFileLines) {
    const std::size_t room = kCookieFileBytes - content.size();
    const std::ptrdiff_t n = file.read(buffer, std::min(sizeof buffer, room + 1));
    if (n <= 0) {
      whole = content.size();  // the last line needs no line end
      break;
    }
    content.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t i = content.size() - static_cast<std::size_t>(n);
         i < content.size() && i < kCookieFileBytes && lines < kCookieFileLines; ++i) {
      if (content[i] == '\n') ++lines, whole = i + 1;
    }
    if (content.size() > kCookieFileBytes) break;
  }
  content.resize(whole);
  return content;
}

// Visits the names of the folder's "*.txt" entries that are not directories.
template <typename Visit>
void for_each_cookie_file(const Text& folder, Visit&& visit) {
  FileSearch search;
  for (Text name = next_matching_file(folder + "/*.txt", 0, true, search); !name.empty();
       name = next_matching_file({}, 0, true, search)) {
    visit(name);
  }
}

}  // namespace

bool clear_cookie_files(const Text* name_filter, Text* cookie_folder) {
  const Text folder = cookie_folder_path();
  if (cookie_folder != nullptr) *cookie_folder = folder;
  if (folder.empty()) return false;
  const Text filter = name_filter != nullptr ? *name_filter : Text();

  std::lock_guard lock(store_mutex());
  if (is_link(folder)) return false;
  bool deleted = false;
  for_each_cookie_file(folder, [&](const Text& name) {
    if (!filter.empty() && find_text(name, filter) == -1) return;
    // Links and other special files are left alone: only the store's own files go.
    const Text path = folder + "/" + name;
    if (is_regular_file(path) && remove_file(path)) deleted = true;
  });
  return deleted;
}

CookieLines load_cookie_store() {
  const Text folder = cookie_folder_path();
  CookieLines lines;
  if (folder.empty()) return lines;
  std::lock_guard lock(store_mutex());
  if (is_link(folder)) return lines;
  for_each_cookie_file(folder, [&](const Text& name) {
    const Text path = folder + "/" + name;
    if (is_regular_file(path)) append_cookie_lines(read_file(path), lines);
  });
  return bounded_cookie_lines(std::move(lines));
}

CookieLines cookies_for_host(const CookieLines& lines, std::string_view host) {
  auto lower = [](std::string_view text) {
    std::string out(text);
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
  };
  const std::string wanted = lower(host);
  CookieLines matching;
  for (const std::string& line : lines) {
    const std::string domain = lower(host_of(line));
    if (domain.empty() || domain.size() > wanted.size()) continue;
    const std::size_t at = wanted.size() - domain.size();
    if (wanted.compare(at, domain.size(), domain) == 0 && (at == 0 || wanted[at - 1] == '.')) {
      matching.push_back(line);
    }
  }
  return matching;
}

CookieLines bounded_cookie_lines(CookieLines lines) {
  // From the newest line back: the first of a key wins, and the bounds fill up newest first.
  const std::time_t now = std::time(nullptr);
  CookieKeys seen;
  std::unordered_map<std::string_view, std::size_t> per_host;
  std::vector<bool> keep(lines.size(), false);
  std::size_t kept = 0;
  for (std::size_t i = lines.size(); i-- > 0 && kept < kCookiesInStore;) {
    const std::string& line = lines[i];
    std::optional<CookieKey> key = key_of(line);
    if (!key || !seen.insert(*key).second || expired(line, now)) continue;
    std::size_t& count = per_host[host_of(line)];
    if (count == kCookiesPerHost) continue;
    ++count;
    keep[i] = true;
    ++kept;
  }
  CookieLines bounded;
  bounded.reserve(kept);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (keep[i]) bounded.push_back(std::move(lines[i]));
  }
  return bounded;
}

bool save_cookie_store_changes(const CookieLines& before, const CookieLines& after) {
  const std::unordered_set<std::string_view> before_lines(before.begin(), before.end());
  CookieKeys after_keys;
  CookieKeys replaced;  // keys whose line is new or changed, or that went away
  CookieLines changed;
  for (const std::string& line : after) {
    std::optional<CookieKey> key = key_of(line);
    if (!key) continue;
    after_keys.insert(*key);
    if (before_lines.count(line) == 0) {
      changed.push_back(line);
      replaced.insert(*key);
    }
  }
  for (const std::string& line : before) {
    std::optional<CookieKey> key = key_of(line);
    if (key && after_keys.count(*key) == 0) replaced.insert(*key);
  }
  if (replaced.empty()) return true;

  const Text folder = cookie_folder_path();
  if (folder.empty()) return false;
  std::lock_guard lock(store_mutex());
  if (is_link(folder)) return false;
  CookieLines current;
  const Text path = folder + "/" + kCookieStoreFileName;
  if (is_regular_file(path)) append_cookie_lines(read_file(path), current);
  CookieLines kept;
  kept.reserve(current.size() + changed.size());
  for (std::string& line : current) {
    if (replaced.count(*key_of(line)) == 0) kept.push_back(std::move(line));
  }
  kept.insert(kept.end(), changed.begin(), changed.end());
  std::string content = "# Netscape HTTP Cookie File\n";
  for (const std::string& line : bounded_cookie_lines(std::move(kept))) {
    content += line;
    content += '\n';
  }
  if (!detail::make_private_folder(folder)) return false;
  ReplaceOptions options;
  options.private_file = true;
  options.sync = false;  // a lost cookie costs a login at worst; no disk flush per request
  return replace_file(
             path,
             [&](const std::string& temp) {
               return write_whole_file(temp, content) ? Text("write failed") : Text();
             },
             {}, options)
      .ok();
}

}  // namespace stdlookup
