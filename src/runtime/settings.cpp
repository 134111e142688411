#include "runtime/settings.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/bounded_file.h"

namespace stdlookup {
namespace {

constexpr std::array<const char*, 3> kEnvironmentNames{
    "STDLOOKUP_QUERY_HOST", "STDLOOKUP_DOWNLOAD_HOST", "STDLOOKUP_PROXY"};

bool is_host_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

bool is_port(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  int port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    port = port * 10 + (c - '0');
  }
  return port >= 1 && port <= 65535;
}

// HOST or HOST:PORT. Only name characters: a "/", "@", "?" or blank would change the URL the
// host is put into.
bool is_host(std::string_view text, bool port_required) {
  std::size_t colon = text.find(':');
  std::string_view host = text.substr(0, colon);
  if (host.empty()) return false;
  for (char c : host) {
    if (!is_host_name_char(c)) return false;
  }
  if (colon == std::string_view::npos) return !port_required;
  return is_port(text.substr(colon + 1));
}

std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string_view trimmed(std::string_view text) {
  const char* blanks = " \t\r";
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string known_keys() {
  return "the keys are query_host, download_host and proxy";
}

}  // namespace

Settings built_in_settings() {
  return {{STDLOOKUP_QUERY_HOST, SettingOrigin::built_in, ""},
          {STDLOOKUP_DOWNLOAD_HOST, SettingOrigin::built_in, ""},
          {"", SettingOrigin::built_in, ""}};
}

Setting* find_setting(Settings& settings, std::string_view key) {
  if (key == kSettingKeys[0]) return &settings.query_host;
  if (key == kSettingKeys[1]) return &settings.download_host;
  if (key == kSettingKeys[2]) return &settings.proxy;
  return nullptr;
}

const Setting* find_setting(const Settings& settings, std::string_view key) {
  return find_setting(const_cast<Settings&>(settings), key);
}

std::string set_setting(Settings& settings, std::string_view key, std::string_view value,
                        SettingOrigin origin, std::string where) {
  Setting* setting = find_setting(settings, key);
  if (setting == nullptr) return "unknown key " + quoted(key) + "; " + known_keys();
  const bool proxy = setting == &settings.proxy;
  if (!(proxy && value.empty()) && !is_host(value, proxy)) {
    return std::string(key) + " " + quoted(value) + " is not " +
           (proxy ? "HOST:PORT (or empty for a direct connection)" : "HOST or HOST:PORT");
  }
  *setting = {std::string(value), origin, std::move(where)};
  return {};
}

std::string apply_settings_text(Settings& settings, std::string_view text,
                                const std::string& file_name) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a UTF-8 byte-order mark
  std::array<int, kSettingKeys.size()> seen_on{};
  int line_number = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = trimmed(text.substr(start, end - start));
    start = end + 1;
    ++line_number;
    const std::string at = file_name + ":" + std::to_string(line_number);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      return at + ": expected \"key = value\", found " + quoted(line) + "; " + known_keys();
    }
    std::string_view key = trimmed(line.substr(0, equals));
    std::size_t index = 0;
    while (index < kSettingKeys.size() && kSettingKeys[index] != key) ++index;
    if (index == kSettingKeys.size()) {
      return at + ": unknown key " + quoted(key) + "; " + known_keys();
    }
    if (seen_on[index] != 0) {
      return at + ": " + std::string(key) + " is set twice (first on line " +
             std::to_string(seen_on[index]) + ")";
    }
    seen_on[index] = line_number;
    std::string problem =
        set_setting(settings, key, trimmed(line.substr(equals + 1)), SettingOrigin::file, at);
    if (!problem.empty()) return at + ": " + problem;
  }
  return {};
}

std::string apply_settings_file(Settings& settings, const std::filesystem::path& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return {};
  const std::string name = path.string();
  if (error) return name + ": cannot read: " + error.message();
  if (status.type() != std::filesystem::file_type::regular) {
    return name + ": cannot read: not a regular file";
  }
  // The check above may be outdated by the open; the bounded open checks again, and caps.
  std::string content;
  if (std::string failure = read_bounded_file(path, kSettingsFileBytes, content); !failure.empty())
    return name + ": cannot read: " + failure;
  return apply_settings_text(settings, content, name);
}

std::string apply_settings_environment(Settings& settings) {
  for (std::size_t i = 0; i < kSettingKeys.size(); ++i) {
    const char* value = std::getenv(kEnvironmentNames[i]);
    if (value == nullptr) continue;
    std::string problem = set_setting(settings, kSettingKeys[i], value, SettingOrigin::environment,
                                      kEnvironmentNames[i]);
    if (!problem.empty())
      return "environment variable " + std::string(kEnvironmentNames[i]) + ": " + problem;
  }
  return {};
}

LoadedSettings load_settings() {
  LoadedSettings loaded{built_in_settings(), {}};
  const std::filesystem::path file = settings_file_path();
  if (!file.empty()) loaded.problem = apply_settings_file(loaded.settings, file);
  if (loaded.problem.empty()) loaded.problem = apply_settings_environment(loaded.settings);
  return loaded;
}

std::string describe_origin(const Setting& setting) {
  switch (setting.origin) {
    case SettingOrigin::built_in:
      return "built-in";
    case SettingOrigin::file:
      return setting.where;
    case SettingOrigin::environment:
      return "environment " + setting.where;
    case SettingOrigin::command_line:
      return "option " + setting.where;
  }
  return {};
}

}  // namespace stdlookup
