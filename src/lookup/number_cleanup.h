// Standard numbers as people paste them: full-width characters from Chinese input methods,
// invisible characters from web pages and spreadsheets, dashes of every kind, a prefix in lower
// case or glued to its digits. One clean form, so that a list finds what the service holds and
// two lists can be matched line by line.
#pragma once

#include <string>
#include <string_view>

namespace stdlookup {

// UTF-8 in and out: full-width letters, digits and punctuation become half-width; byte-order
// marks and zero-width characters go; no-break and ideographic spaces count as blanks; blanks
// are trimmed and collapsed; dash variants become "-"; a leading letter prefix ("gb", "GB/T")
// is upper-cased and set apart from the digits after it by one blank. Invalid UTF-8 bytes are
// kept as they are.
std::string normalize_number(std::string_view utf8);

}  // namespace stdlookup
