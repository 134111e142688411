#include "app/window_actions.h"

#include "export/export.h"
#include "lookup/actions.h"
#include "runtime/window_services.h"

namespace stdlookup {

namespace {

// The requests of the GUI thread's actions: the window keeps painting while one is in flight.
FetchedPage fetch_while_busy(const Text& url) {
  FetchedPage page;
  run_busy([&] { page = fetch_page(url); });
  return page;
}

}  // namespace

Actions window_actions() {
  Actions actions;
  actions.single_query = [](Controls& controls) { single_query(controls, fetch_while_busy); };
  actions.open_detail_page = open_detail_page;
  actions.export_to_workbook = [](Controls& controls) { export_to_workbook(controls); };
  actions.download_search = [](Controls& controls) { download_search(controls, fetch_while_busy); };
  actions.open_download_link = open_download_link;
  actions.batch_query = [](Controls& controls) { batch_query(controls); };
  return actions;
}

}  // namespace stdlookup
