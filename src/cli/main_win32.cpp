// stdlookup-cli on Windows. The arguments are taken in UTF-16 and handed on as UTF-8, as on
// Linux (the narrow argv is in the ANSI code page, which may not hold the characters given).
// The console shows UTF-8, and the standard streams are binary so that "\r\n" written by the
// CSV output is not doubled.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "runtime/win32_text.h"

int main() {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);

  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return stdlookup::cli::kUsageError;
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(stdlookup::win32::wide_to_utf8(wide[i]));
  LocalFree(wide);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return stdlookup::cli::run_to_the_end(count, argv.data());
}
