// Replacing a file only by complete, checked content: write a temporary file in the target's
// folder, check it, flush it to disk, then rename it over the target. Whatever fails, the
// target stays as it was and no temporary file is left behind.
#pragma once

#include <functional>
#include <string>

#include "export/workbook_writer.h"

namespace stdlookup {

// `write` fills the temporary file at the given path and returns a failure reason or "";
// `check` (optional) verifies the written file the same way. Paths are native.
SaveResult write_file_atomically(
    const std::string& target, const std::function<Text(const std::string& temp_path)>& write,
    const std::function<Text(const std::string& temp_path)>& check = {});

// Reads a written workbook back as a zip archive and checks every entry's data against its
// CRC, and that the parts a workbook needs are there. Returns a failure reason or "".
Text check_workbook_file(const std::string& path);

}  // namespace stdlookup
