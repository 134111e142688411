#include "app/window_actions.h"

#include "export/export.h"
#include "lookup/actions.h"
#include "lookup/query_url.h"

namespace stdlookup {

Actions window_actions() {
  Actions actions;
  actions.single_query = [](Controls& controls) { single_query(controls); };
  actions.open_detail_page = open_detail_page;
  actions.export_to_workbook = [](Controls& controls) { export_to_workbook(controls); };
  actions.download_search = [](Controls& controls) { download_search(controls); };
  actions.open_download_link = open_download_link;
  actions.batch_query = [](Controls& controls) { batch_query(controls); };
  return actions;
}

}  // namespace stdlookup
