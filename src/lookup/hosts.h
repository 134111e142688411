// The hosts of the two web services (host or host:port). Fixed when the program is built; the
// command line may point them elsewhere before it looks anything up, as tests do.
#pragma once

#include "runtime/types.h"

namespace stdlookup {

Text query_host();     // the standards query service
Text download_host();  // the download search service

void set_query_host(const Text& host);
void set_download_host(const Text& host);

}  // namespace stdlookup
