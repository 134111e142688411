#include "i18n.h"

#include <libintl.h>

#include <vector>

namespace stdlookup {
namespace {

// `text` with each {N} (N = 1…9) replaced by values[N - 1]; other braces stay.
std::string filled(std::string_view text, const std::vector<std::string_view>& values) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool placeholder = text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}' &&
                             text[i + 1] >= '1' && text[i + 1] <= '9';
    const std::size_t n = placeholder ? static_cast<std::size_t>(text[i + 1] - '1') : 0;
    if (placeholder && n < values.size()) {
      out += values[n];
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string tr(const char* english, std::initializer_list<std::string_view> values) {
  return filled(dgettext(kTextDomain, english), values);
}

std::string trn(const char* singular, const char* plural, unsigned long count,
                std::initializer_list<std::string_view> values) {
  const std::string number = std::to_string(count);
  std::vector<std::string_view> all = {number};
  all.insert(all.end(), values.begin(), values.end());
  return filled(dngettext(kTextDomain, singular, plural, count), all);
}

}  // namespace stdlookup
