// The settings read at run time: the hosts of the two web services and the proxy. Each value
// comes from the last of these that gives it: the defaults built into the program, the settings
// file, the environment (STDLOOKUP_QUERY_HOST, STDLOOKUP_DOWNLOAD_HOST, STDLOOKUP_PROXY), the
// command line. The window and the command line read them through this one reader.
//
// The settings file holds "key = value" lines; blank lines and lines starting with "#" or ";"
// are skipped. The keys are query_host and download_host (HOST or HOST:PORT) and proxy
// (HOST:PORT; empty for a direct connection). Anything else is refused with its file and line.
// Values are ASCII; texts and messages here are UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace stdlookup {

enum class SettingOrigin { built_in, file, environment, command_line };

struct Setting {
  std::string value;
  SettingOrigin origin = SettingOrigin::built_in;
  std::string where;  // "FILE:LINE", the variable or the option; empty when built in
};

struct Settings {
  Setting query_host;
  Setting download_host;
  Setting proxy;  // empty: a direct connection
};

inline constexpr std::array<std::string_view, 3> kSettingKeys{"query_host", "download_host",
                                                              "proxy"};

// The values the program was built with.
Settings built_in_settings();

// nullptr for an unknown key.
Setting* find_setting(Settings& settings, std::string_view key);
const Setting* find_setting(const Settings& settings, std::string_view key);

// Checks `value` for `key` and stores it. Returns the problem ("" when none), without saying
// where the value came from.
std::string set_setting(Settings& settings, std::string_view key, std::string_view value,
                        SettingOrigin origin, std::string where);

// Applies the lines of a settings file. `file_name` is used in messages ("FILE:LINE: ...").
std::string apply_settings_text(Settings& settings, std::string_view text,
                                const std::string& file_name);
// Applies the file at `path`; a missing file is no problem (nothing changes). A settings file is a
// few lines: one over kSettingsFileBytes is refused unread.
inline constexpr std::uint64_t kSettingsFileBytes = 1 << 20;
// Applies the file at `path`; a missing file is no problem (nothing changes).
std::string apply_settings_file(Settings& settings, const std::filesystem::path& path);
// Applies the environment variables that are set (STDLOOKUP_PROXY set but empty: direct).
std::string apply_settings_environment(Settings& settings);

// Where the settings file lives on this platform; empty when there is no user folder.
std::filesystem::path settings_file_path();

// The built-in values, then the settings file, then the environment. On a problem the settings
// hold what was read before it.
struct LoadedSettings {
  Settings settings;
  std::string problem;  // "" when none
};
LoadedSettings load_settings();

// "built-in", "FILE:LINE", "environment VARIABLE", "option --OPTION".
std::string describe_origin(const Setting& setting);

}  // namespace stdlookup
