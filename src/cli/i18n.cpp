#include "i18n.h"

#include <libintl.h>

#include <clocale>
#include <filesystem>
#include <system_error>
#include <vector>

#include "cli_platform.h"

namespace stdlookup::cli {
namespace {

constexpr const char* kDomain = "stdlookup-cli";

// `text` with each {N} (N = 1…9) replaced by values[N - 1]; other braces stay.
std::string filled(std::string_view text, const std::vector<std::string_view>& values) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool placeholder = text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}' &&
                             text[i + 1] >= '1' && text[i + 1] <= '9';
    const std::size_t n = placeholder ? static_cast<std::size_t>(text[i + 1] - '1') : 0;
    if (placeholder && n < values.size()) {
      out += values[n];
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

void start_translations() {
  choose_language();
  // Only messages follow the language: numbers, character classes and sorting stay as the
  // program computes them. Unqualified: libintl replaces setlocale on Windows.
  setlocale(LC_MESSAGES, "");
  // Relative to the program, so that a tree installed under any prefix, and the portable
  // folder on Windows, finds its own catalogues: <prefix>/bin → <prefix>/share/locale, or
  // "locale" beside the program (Windows, and the build tree).
  const std::filesystem::path folder = program_folder();
  if (!folder.empty()) {
    for (const auto& catalogues : {folder.parent_path() / "share" / "locale", folder / "locale"}) {
      std::error_code error;
      if (std::filesystem::is_directory(catalogues, error)) {
        bind_catalogues(kDomain, catalogues);
        break;
      }
    }
  }
  bind_textdomain_codeset(kDomain, "UTF-8");
  // The C library's own messages (strerror) follow the language too; with LC_CTYPE left as "C"
  // they would come out as question marks.
  bind_textdomain_codeset("libc", "UTF-8");
  textdomain(kDomain);
}

std::string tr(const char* english, std::initializer_list<std::string_view> values) {
  return filled(dgettext(kDomain, english), values);
}

std::string trn(const char* singular, const char* plural, unsigned long count,
                std::initializer_list<std::string_view> values) {
  const std::string number = std::to_string(count);
  std::vector<std::string_view> all = {number};
  all.insert(all.end(), values.begin(), values.end());
  return filled(dngettext(kDomain, singular, plural, count), all);
}

}  // namespace stdlookup::cli
