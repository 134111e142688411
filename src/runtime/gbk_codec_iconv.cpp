// GBK codec over glibc's iconv. One pair of conversion descriptors per thread: iconv_t keeps
// shift state and must not be shared between threads.
#include <iconv.h>

#include <cerrno>

#include "runtime/gbk.h"

namespace stdlookup {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; on a sequence the target cannot hold or the source does not allow, writes
  // "?" and skips `skip(rest)` input bytes.
  template <typename Skip>
  std::string convert(std::string_view in, Skip skip) {
    std::string out;
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    std::size_t written = 0;
    while (src_left > 0) {
      char* dst = out.data() + written;
      std::size_t dst_left = out.size() - written;
      std::size_t rc = iconv(cd_, &src, &src_left, &dst, &dst_left);
      written = out.size() - dst_left;
      if (rc != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
      } else {  // EILSEQ or EINVAL (truncated input at the end)
        if (out.size() - written < 1) out.resize(out.size() * 2);
        out[written++] = '?';
        std::size_t n = skip(std::string_view(src, src_left));
        src += n;
        src_left -= n;
      }
    }
    out.resize(written);
    return out;
  }

 private:
  iconv_t cd_;
};

std::size_t utf8_sequence_length(std::string_view rest) {
  auto c = static_cast<unsigned char>(rest[0]);
  std::size_t n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  // Skip the lead byte and whatever continuation bytes follow it, no further.
  std::size_t i = 1;
  while (i < n && i < rest.size() && (static_cast<unsigned char>(rest[i]) & 0xC0) == 0x80) ++i;
  return i;
}

std::size_t gbk_sequence_length(std::string_view rest) {
  auto c = static_cast<unsigned char>(rest[0]);
  return (c >= 0x81 && c <= 0xFE && rest.size() >= 2) ? 2 : 1;
}

}  // namespace

Text utf8_to_gbk(std::string_view utf8) {
  thread_local Converter converter("GBK", "UTF-8");
  return converter.convert(utf8, utf8_sequence_length);
}

std::string gbk_to_utf8(std::string_view gbk) {
  thread_local Converter converter("UTF-8", "GBK");
  return converter.convert(gbk, gbk_sequence_length);
}

}  // namespace stdlookup
