// The hosts of the two web services (host or host:port) and the proxy the lookups use. They
// start as the built-in settings; a front end hands over the settings it read before it looks
// anything up, and tests may point them elsewhere.
#pragma once

#include "runtime/settings.h"
#include "runtime/types.h"

namespace stdlookup {

Text query_host();     // the standards query service
Text download_host();  // the download search service
Text proxy();          // HOST:PORT, or empty for a direct connection

void set_query_host(const Text& host);
void set_download_host(const Text& host);
void set_proxy(const Text& proxy);
void use_settings(const Settings& settings);

}  // namespace stdlookup
