// The hosts of the two web services (host or host:port), fixed when the program is built.
#pragma once

#include "runtime/types.h"

namespace stdlookup {

const Text& query_host();     // the standards query service
const Text& download_host();  // the download search service

}  // namespace stdlookup
