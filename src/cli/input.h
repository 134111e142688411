// Reading the batch list as users have it: from a file or standard input, in UTF-8 with or
// without a byte-order mark, or in GBK (the encoding such lists are often saved in).
#pragma once

#include <string>

#include "runtime/types.h"

namespace stdlookup::cli {

struct BatchInput {
  Text text;            // GBK, lines broken by "\r\n" as the window's edit box hands them over
  std::string failure;  // why nothing could be read; empty on success
  bool read_as_gbk = false;
};

// `file` empty or "-" is standard input. A folder is refused before reading, and so is a named
// input that is neither a regular file nor a pipe.
BatchInput read_batch_input(const std::string& file);

// The platform part: the whole content of `file` (standard input for "" or "-") into `bytes`;
// returns why it could not be read, or "".
std::string read_input_bytes(const std::string& file, std::string& bytes);

bool is_valid_utf8(std::string_view bytes);

// LF or CRLF line ends become CRLF; nothing else changes. Works on UTF-8 and GBK alike: neither
// has CR or LF inside a character.
std::string with_crlf(std::string_view text);

}  // namespace stdlookup::cli
