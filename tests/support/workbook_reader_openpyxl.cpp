// Through openpyxl (read_workbook.py beside this file) in Debian's python3, started without a
// shell so that any path works.
#include "support/subprocess.h"
#include "support/workbook_reader.h"

namespace stdlookup::test {

nlohmann::json read_workbook(const std::string& path) {
  ProcessResult run = run_process({"/usr/bin/python3", STDLOOKUP_READ_WORKBOOK_SCRIPT, path});
  nlohmann::json parsed = nlohmann::json::parse(run.out, nullptr, false);
  if (run.exit_code != 0 || parsed.is_discarded()) return {{"error", run.out + run.err}};
  return parsed;
}

}  // namespace stdlookup::test
