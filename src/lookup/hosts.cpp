#include "lookup/hosts.h"

namespace stdlookup {

const Text& query_host() {
  static const Text host = STDLOOKUP_QUERY_HOST;
  return host;
}

const Text& download_host() {
  static const Text host = STDLOOKUP_DOWNLOAD_HOST;
  return host;
}

}  // namespace stdlookup
