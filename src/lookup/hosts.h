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
// Whether the query host is the one built into the program, set by nothing the user gave.
bool query_host_built_in();

void set_query_host(const Text& host);
void set_download_host(const Text& host);
void set_proxy(const Text& proxy);
void use_settings(const Settings& settings);

}  // namespace stdlookup
