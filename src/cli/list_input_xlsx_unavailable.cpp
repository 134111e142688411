// Builds without libzip (Windows, until it is cross-built there) read no workbooks.
#include "list_input.h"

namespace stdlookup::cli {

Table read_xlsx_table(const std::string& path) {
  return {{}, path + ": this build cannot read .xlsx workbooks; save the list as .csv"};
}

}  // namespace stdlookup::cli
