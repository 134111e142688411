#include <libintl.h>

#include <clocale>
#include <filesystem>
#include <system_error>

#include "cli.h"
#include "cli_platform.h"
#include "runtime/i18n.h"

namespace stdlookup::cli {

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
        bind_catalogues(kTextDomain, catalogues);
        break;
      }
    }
  }
  bind_textdomain_codeset(kTextDomain, "UTF-8");
  // The C library's own messages (strerror) follow the language too; with LC_CTYPE left as "C"
  // they would come out as question marks.
  bind_textdomain_codeset("libc", "UTF-8");
  textdomain(kTextDomain);
}

}  // namespace stdlookup::cli
