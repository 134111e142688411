// What the commands share: the options as parsed, the rows a batch makes, and the way out to
// stdout and stderr. One file per command implements it.
#pragma once

#include <optional>
#include <string>

#include "lists/batch_rows.h"
#include "lookup/lookup.h"
#include "lookup/scrape.h"
#include "runtime/settings.h"

namespace stdlookup::lists {}

namespace stdlookup::cli {

// The command line is a front end of the list library: its names are the commands' words.
using namespace lists;

// What goes to stdout, chosen once from --format.
enum class OutputFormat { text, json, csv };

struct Options {
  std::string query_host;
  std::string download_host;
  std::string proxy;
  OutputFormat format = OutputFormat::text;
  bool format_given = false;
  std::string output;
  int delay_ms = 500;
  bool quiet = false;
  // batch
  std::string column;   // of an .xlsx or .csv list
  std::string label;    // of an .xlsx or .csv list: the column the report shows beside a row
  std::string sheet;    // of a workbook list: its name or 1-based place
  std::string compare;  // an earlier export
  int retries = 0;
  bool normalize = false;
  // The list itself gets the results ("" : in place), or the copy named.
  std::optional<std::string> update;
  bool resume = false;  // go on where an interrupted run into the same file stopped
};

int query_command(const Options& options, const std::string& number);
int batch_command(const Options& options, const std::string& file);
int update_command(const Options& options, const std::string& file);  // batch --update
int download_command(const Options& options, const std::string& number);
int config_command(const Options& options, const Settings& settings);

// stdout, written through at once; stderr with the program's name in front.
void print(const std::string& text);
void warn(const std::string& text);

}  // namespace stdlookup::cli
