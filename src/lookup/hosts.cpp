#include "lookup/hosts.h"

#include <mutex>

namespace stdlookup {
namespace {

// Read by the batch thread and the GUI thread alike.
std::mutex hosts_mutex;
Text query_host_value = STDLOOKUP_QUERY_HOST;
Text download_host_value = STDLOOKUP_DOWNLOAD_HOST;

}  // namespace

Text query_host() {
  std::lock_guard lock(hosts_mutex);
  return query_host_value;
}

Text download_host() {
  std::lock_guard lock(hosts_mutex);
  return download_host_value;
}

void set_query_host(const Text& host) {
  std::lock_guard lock(hosts_mutex);
  query_host_value = host;
}

void set_download_host(const Text& host) {
  std::lock_guard lock(hosts_mutex);
  download_host_value = host;
}

}  // namespace stdlookup
