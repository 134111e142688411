// Reading the batch input's bytes on Windows: wide file names, binary mode.
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "input.h"
#include "runtime/system.h"

namespace stdlookup::cli {
namespace {

std::string read_all(std::FILE* in, std::string& content) {
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) content.append(buffer, n);
  return std::ferror(in) ? std::string(std::strerror(errno)) : std::string();
}

}  // namespace

std::string read_input_bytes(const std::string& file, std::string& bytes) {
  if (file.empty() || file == "-") {
    _setmode(_fileno(stdin), _O_BINARY);
    return read_all(stdin, bytes);
  }
  const std::filesystem::path path = native_path(file);
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return "is a folder";
  std::FILE* in = _wfopen(path.c_str(), L"rb");
  if (in == nullptr) return std::strerror(errno);
  std::string failure = read_all(in, bytes);
  std::fclose(in);
  return failure;
}

}  // namespace stdlookup::cli
