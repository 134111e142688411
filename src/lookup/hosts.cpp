#include "lookup/hosts.h"

#include <mutex>

namespace stdlookup {
namespace {

// Read by the batch thread and the GUI thread alike.
std::mutex hosts_mutex;
Text query_host_value = built_in_settings().query_host.value;
Text download_host_value = built_in_settings().download_host.value;
Text proxy_value = built_in_settings().proxy.value;
bool query_host_is_built_in = true;

}  // namespace

Text query_host() {
  std::lock_guard lock(hosts_mutex);
  return query_host_value;
}

Text download_host() {
  std::lock_guard lock(hosts_mutex);
  return download_host_value;
}

Text proxy() {
  std::lock_guard lock(hosts_mutex);
  return proxy_value;
}

bool query_host_built_in() {
  std::lock_guard lock(hosts_mutex);
  return query_host_is_built_in;
}

void set_query_host(const Text& host) {
  std::lock_guard lock(hosts_mutex);
  query_host_value = host;
  query_host_is_built_in = false;
}

void set_download_host(const Text& host) {
  std::lock_guard lock(hosts_mutex);
  download_host_value = host;
}

void set_proxy(const Text& proxy) {
  std::lock_guard lock(hosts_mutex);
  proxy_value = proxy;
}

// Setting values are ASCII, the same bytes in GBK.
void use_settings(const Settings& settings) {
  std::lock_guard lock(hosts_mutex);
  query_host_value = settings.query_host.value;
  query_host_is_built_in = settings.query_host.origin == SettingOrigin::built_in;
  download_host_value = settings.download_host.value;
  proxy_value = settings.proxy.value;
}

}  // namespace stdlookup
