// Text operations on GBK byte strings: 1-based byte positions, -1 for "not found", and searches
// that step over double-byte characters (lead byte >= 0x80) so a match never starts on a trail
// byte. Operations that cut by count work on bytes and may split a character.
#pragma once

#include <climits>
#include <optional>
#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

int text_byte_count(std::string_view text);
Text left_text(std::string_view text, int count);
Text right_text(std::string_view text, int count);
Text middle_text(std::string_view text, int start, int count);

// First occurrence of `sought` at or after `start` (stepping by characters from there).
// An empty `sought` gives 1 whenever a byte remains from `start` on.
int find_text(std::string_view text, std::string_view sought, int start = 1,
              bool ignore_case = false);

// Last occurrence lying wholly before `start`; the whole text when `start` is omitted.
int find_text_backward(std::string_view text, std::string_view sought,
                       std::optional<int> start = std::nullopt, bool ignore_case = false);

// An omitted `count` replaces every occurrence; a given 0 replaces none. Note the default:
// letter case is ignored unless `case_sensitive` is true.
Text replace_text(std::string_view text, std::string_view sought, std::string_view replacement = {},
                  int start = 1, std::optional<int> count = std::nullopt,
                  bool case_sensitive = false);

// An omitted delimiter is ","; a given empty one yields the whole text as one element.
TextArray split_text(std::string_view text,
                     std::optional<std::string_view> delimiter = std::nullopt,
                     std::optional<int> max_parts = std::nullopt);

// Spaces are 0x20 and the ideographic space A1 A1; tabs, CR and LF are not.
Text trim_spaces(std::string_view text);
Text remove_spaces(std::string_view text);
Text to_lower(std::string_view text);
Text char_text(int code);
Text space_text(int count);

// The columns a UTF-8 text takes in a terminal or a sheet: an East Asian wide character two, a
// control character none, any other one. Counting stops once `stop_at` is reached.
int display_width(std::string_view utf8, int stop_at = INT_MAX);

bool is_valid_utf8(std::string_view bytes);
// `text` without the blanks (space, tab, CR, LF) around it, as headers are compared.
std::string_view trim_blanks(std::string_view text);

}  // namespace stdlookup
