// Texts for people in their language: GNU gettext, domain "stdlookup-cli" (the command line and
// the libraries it drives), the English text the key. A text without a translation stays English,
// and so does everything under LANG=C, so scripts that read stderr keep working. Data on stdout
// (CSV and JSON field names, the change report's words) never goes through here.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace stdlookup {

inline constexpr const char* kTextDomain = "stdlookup-cli";

// The text in the user's language. Placeholders {1}, {2}… are filled from `values` in order,
// so that a translation may put them where its grammar wants them.
std::string tr(const char* english, std::initializer_list<std::string_view> values = {});

// The same for a text with a count: "{1} line" / "{1} lines", the form chosen for `count` by the
// language's plural rule; {1} is the count itself, {2}… come from `values`.
std::string trn(const char* singular, const char* plural, unsigned long count,
                std::initializer_list<std::string_view> values = {});

// Marks a text for the catalogue where it is translated later (tables of texts).
constexpr const char* tr_noop(const char* english) {
  return english;
}

}  // namespace stdlookup
