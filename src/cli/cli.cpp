// The command line: options parsed once, the settings in effect, then one command.
#include "cli.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <regex>

#include "cli_platform.h"
#include "command.h"
#include "lists/output.h"
#include "lookup/hosts.h"
#include "runtime/i18n.h"
#include "runtime/settings.h"

namespace stdlookup::cli {

void print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void warn(const std::string& text) {
  std::string line = "stdlookup-cli: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

namespace {

// --delay in words users understand ("-5" must not read as an option either).
std::string check_delay(const std::string& value) {
  int ms = 0;
  std::size_t used = 0;
  try {
    ms = std::stoi(value, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != value.size()) return tr("must be a whole number of milliseconds");
  if (ms < 0) return tr("must be ≥ 0");
  return {};
}

// Columns a terminal gives `text`: East Asian wide characters take two.
std::size_t display_width(std::string_view text) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;  // continuation byte
    // CJK, kana, Hangul and full-width forms: U+2E80…U+FFEF, lead bytes E2 BA… to EF.
    const bool after_2e80 = byte > 0xE2 || (byte == 0xE2 && i + 1 < text.size() &&
                                            static_cast<unsigned char>(text[i + 1]) >= 0xBA);
    width += after_2e80 && byte < 0xF0 ? 2 : 1;
  }
  return width;
}

// CLI11's help with the option column padded by display width, so that translated value names
// ("文本") keep the descriptions aligned; the manual page's generator reads the same layout.
class Formatter : public CLI::Formatter {
 public:
  std::string make_option(const CLI::Option* opt, bool is_positional) const override {
    std::string line = "  " + make_option_name(opt, is_positional) + make_option_opts(opt);
    const std::string description = make_option_desc(opt);
    const std::size_t width = display_width(line);
    const std::size_t column = get_column_width();
    const std::string indent(column, ' ');
    // Two spaces at least between the two, so that the name's own spaces never read as the gap.
    if (!description.empty())
      line += width + 2 <= column ? std::string(column - width, ' ') : "\n" + indent;
    for (const char c : description) line += c == '\n' ? "\n" + indent : std::string(1, c);
    return line + "\n";
  }
};

// CLI11's reasons for refusing the arguments, in the user's language where their form is known
// (else as CLI11 gives them); the parts they quote from the arguments stay as they are.
std::string parse_error_text(const std::string& what) {
  static const std::pair<const char*, const char*> kForms[] = {
      {"A subcommand is required", tr_noop("A subcommand is required")},
      {"(.+) is required", tr_noop("{1} is required")},
      {"The following argument was not expected: (.*)",
       tr_noop("The following argument was not expected: {1}")},
      {"The following arguments were not expected: (.*)",
       tr_noop("The following arguments were not expected: {1}")},
      {"(\\S+): Value (.*) not in range (\\S+) to (\\S+)",
       tr_noop("{1}: Value {2} not in range {3} to {4}")},
      {"(\\S+): (.*) not in (\\{.*\\})", tr_noop("{1}: {2} not in {3}")},
      {"(\\S+): ([0-9]+) required (\\S+) missing", tr_noop("{1}: {2} required {3} missing")},
  };
  for (const auto& [pattern, form] : kForms) {
    std::smatch parts;
    if (!std::regex_match(what, parts, std::regex(pattern))) continue;
    const auto part = [&parts](std::size_t n) {
      return n < parts.size() ? parts[n].str() : std::string();
    };
    return tr(form, {part(1), part(2), part(3), part(4)});
  }
  return what;
}

std::string parse_failure(const CLI::App* app, const CLI::Error& error) {
  std::string text = parse_error_text(error.what()) + "\n";
  if (const CLI::Option* help = app->get_help_ptr())
    text += tr("Run with {1} for more information.", {help->get_name()}) + "\n";
  return text;
}

// The program's options and commands, parsed into `options` and the arguments below.
struct Parser {
  CLI::App app{tr("Looks Chinese national and food standards up by their number."),
               "stdlookup-cli"};
  Options options;
  std::string number, file, topic;
  std::string format_name = "text";
  CLI::Option* format = nullptr;
  std::string update_copy;
  CLI::Option* update = nullptr;
  std::array<CLI::Option*, 3> setting_options{};  // in the order of kSettingKeys
  CLI::App *query = nullptr, *batch = nullptr, *download = nullptr, *config = nullptr,
           *help = nullptr;
  std::vector<CLI::Option*> batch_only;  // accepted before batch too, but with batch only

  Parser() {
    speak_the_users_language();
    app.set_version_flag("-V,--version", "stdlookup-cli " STDLOOKUP_VERSION,
                         tr("Display program version information and exit"));
    app.require_subcommand(1);
    app.fallthrough();
    add_global_options();
    query = app.add_subcommand("query", tr("look one standard up"));
    query->add_option("NUMBER", number, tr("standard number"))->required();
    batch = app.add_subcommand("batch", tr("look up every line of FILE (or standard input)"));
    add_batch_options();
    download = app.add_subcommand("download", tr("find the download link of a standard"));
    download->add_option("NUMBER", number, tr("standard number"))->required();
    config = app.add_subcommand(
        "config", tr("show the service hosts and the proxy in effect, and where each came from"));
    help = app.add_subcommand("help", tr("show the help of the program or of COMMAND"));
    help->add_option("COMMAND", topic, tr("query, batch, download or config"));
    // The batch options belong to batch, and are still accepted before it, in its group of
    // options, whatever that is called.
    for (CLI::App* owner : {&app, batch})
      add_output_options(*owner, owner == &app ? "" : batch->option_defaults()->get_group());
    translate_type_names();
  }

  // CLI11's own words: headings, the help flag, the default group. Before the first option and
  // command, which copy the defaults.
  void speak_the_users_language() {
    app.formatter(std::make_shared<Formatter>());
    for (const char* label : {tr_noop("Usage"), tr_noop("OPTIONS"), tr_noop("SUBCOMMAND"),
                              tr_noop("SUBCOMMANDS"), tr_noop("REQUIRED"), tr_noop("Positionals")})
      app.get_formatter()->label(label, tr(label));
    app.set_help_flag("-h,--help", tr("Print this help message and exit"));
    app.option_defaults()->group(tr("Options"));
  }

  // The value names CLI11 derives from the types ("TEXT", "INT"), and the commands' heading; a
  // validator's description after the name stays as CLI11 appends it.
  void translate_type_names() {
    for (CLI::App* owner : {&app, query, batch, download, config, help}) {
      if (owner != &app) owner->group(tr("Subcommands"));
      if (owner->get_help_ptr() != nullptr) owner->get_help_ptr()->group(tr("Options"));
      for (CLI::Option* option : owner->get_options()) {
        const std::string type = option->get_type_name();
        const std::string base = type.substr(0, type.find(':'));
        for (const char* name : {tr_noop("TEXT"), tr_noop("INT")})
          if (base == name) option->type_name(tr(name));
      }
    }
  }

  void add_global_options() {
    const Settings built_in = built_in_settings();
    setting_options[0] = app.add_option(
        "--query-host", options.query_host,
        tr("standards query service, HOST[:PORT] (built in: {1})", {built_in.query_host.value}));
    setting_options[1] = app.add_option(
        "--download-host", options.download_host,
        tr("download search service, HOST[:PORT] (built in: {1})", {built_in.download_host.value}));
    setting_options[2] = app.add_option("--proxy", options.proxy,
                                        tr("HTTP proxy, HOST:PORT; \"\" for a direct connection "
                                           "(built in: direct)"));
    format = app.add_option("--format", format_name, tr("what goes to stdout (default text)"))
                 ->check(CLI::IsMember({"text", "json", "csv"}));
    app.add_flag("--quiet", options.quiet, tr("no progress on stderr"));
  }

  void add_batch_options() {
    batch->add_option("FILE", file,
                      tr("one number per line, or a workbook (.xlsx) or .csv list; - for standard "
                         "input"));
    batch->add_option("--column", options.column,
                      tr("of an .xlsx or .csv list: the column of the numbers, by letter or header "
                         "(default: the one headed 标准号, 标准编号, 执行标准 or 标准代号 in the "
                         "first 10 rows, else the one holding standard numbers)"));
    batch
        ->add_option("--sheet", options.sheet,
                     tr("of a workbook list: the sheet of the numbers, by name or number from 1 "
                        "(default: the only sheet with a column of standard numbers)"))
        ->type_name("NAME|N");
    batch->add_option("--label", options.label,
                      tr("of a workbook or .csv list: a column (letter or header, e.g. 产品) "
                         "whose text the change report shows beside each line's row"));
    batch->add_option("--compare", options.compare,
                      tr("an earlier export (.xlsx, .csv or .json): print what changed instead of "
                         "the rows; exit 3 when a standard became 作废"));
    batch
        ->add_option("--retries", options.retries,
                     tr("try a failed request again up to N times (no response, 5xx, 429), "
                        "waiting 1 s, 2 s, … or the server's Retry-After (default 0)"))
        ->check(CLI::Range(0, 20).description(tr("INT in [{1} - {2}]", {"0", "20"})))
        ->type_name("N");
    update =
        batch
            ->add_option("--update", update_copy,
                         tr("write the results into the .xlsx or .csv list itself (or into the "
                            "copy OUT): the result columns are found by their header or added, "
                            "changed cells marked; prints what changed, as --compare does"))
            ->expected(0, 1)
            ->type_name("[OUT]");
    batch->add_flag("--resume", options.resume,
                    tr("go on where an interrupted run into the same --output file or --update "
                       "list stopped, instead of from the first line"));
    batch->add_flag("--normalize", options.normalize,
                    tr("clean each number up first (full-width characters, invisible ones, "
                       "dashes, \"gb2760\" → \"GB 2760\"); JSON rows keep the line as given"));
  }

  // `group` "" hides them (at the top level).
  void add_output_options(CLI::App& owner, const std::string& group) {
    batch_only.push_back(
        owner
            .add_option(
                "--output", options.output,
                tr("write the rows to FILE (.xlsx, .csv or .json; - for stdout), atomically; "
                   "stdout then stays empty unless --format is given"))
            ->group(group));
    batch_only.push_back(
        owner
            .add_option_function<std::string>(
                "--delay",
                [this](const std::string& value) { options.delay_ms = std::stoi(value); },
                tr("pause after each request in ms (default 500)"))
            ->type_name("MS")
            ->check(CLI::Validator(check_delay, "", "delay"))
            ->allow_extra_args(false)
            ->group(group));
  }

  // The exit code when the arguments end the program here (a usage error, --help, --version).
  std::optional<int> parse(int argc, char** argv) {
    app.failure_message(parse_failure);
    try {
      app.parse(argc, argv);
      if (!batch->parsed()) {
        for (CLI::Option* option : batch_only) {
          if (option->count())
            throw CLI::ValidationError(
                tr("{1} goes with batch only", {"--" + option->get_lnames().front()}));
        }
      }
    } catch (const CLI::ParseError& e) {
      const int code = app.exit(e);
      return code == 0 ? 0 : kUsageError;
    }
    options.format = format_name == "json"  ? OutputFormat::json
                     : format_name == "csv" ? OutputFormat::csv
                                            : OutputFormat::text;
    options.format_given = format->count() > 0;
    if (update->count()) options.update = update_copy;
    return std::nullopt;
  }

  int show_help() {
    CLI::App* about = &app;
    std::string usage = "stdlookup-cli";
    if (!topic.empty()) {
      usage += " " + topic;
      try {
        about = app.get_subcommand(topic);
      } catch (const CLI::OptionNotFound&) {
        warn(tr("no command {1}; the commands are query, batch, download and config",
                {table_cell(topic)}));
        return kUsageError;
      }
    }
    print(app.get_formatter()->make_help(about, usage, CLI::AppFormatMode::Normal));
    return kAllAnswered;
  }

  // Built-in values, the settings file, the environment, then these options.
  LoadedSettings settings() const {
    LoadedSettings loaded = load_settings();
    const std::string* given[] = {&options.query_host, &options.download_host, &options.proxy};
    for (std::size_t i = 0; i < kSettingKeys.size() && loaded.problem.empty(); ++i) {
      const CLI::Option& option = *setting_options[i];
      if (option.count() == 0) continue;
      loaded.problem = set_setting(loaded.settings, kSettingKeys[i], *given[i],
                                   SettingOrigin::command_line, option.get_name());
      if (!loaded.problem.empty()) loaded.problem = option.get_name() + ": " + loaded.problem;
    }
    return loaded;
  }
};

}  // namespace

int run(int argc, char** argv) {
  treat_file_size_limit_as_error();
  Parser parser;
  if (const std::optional<int> code = parser.parse(argc, argv)) return *code;
  if (parser.help->parsed()) return parser.show_help();
  const LoadedSettings loaded = parser.settings();
  if (!loaded.problem.empty()) {
    warn(loaded.problem);
    return kUsageError;
  }
  use_settings(loaded.settings);
  const Options& options = parser.options;
  if (parser.config->parsed()) return config_command(options, loaded.settings);
  if (parser.query->parsed()) return query_command(options, parser.number);
  if (parser.batch->parsed()) return batch_command(options, parser.file);
  return download_command(options, parser.number);
}

}  // namespace stdlookup::cli
