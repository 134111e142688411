// The demo service's sample: real food safety standards, current and abolished ones.
#pragma once

#include <span>

namespace stdlookup::demo {

struct SampleStandard {
  const char* number;  // UTF-8, as the service spells it
  const char* chinese_name;
  bool current;
  const char* implementation_date;
  const char* publishing_department;
  bool downloadable;
};

std::span<const SampleStandard> sample_standards();

}  // namespace stdlookup::demo
