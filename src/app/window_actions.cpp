#include "app/window_actions.h"

#include "lookup/query_url.h"

namespace stdlookup {

Actions window_actions() {
  Actions actions;
  actions.open_detail_page = open_detail_page;
  return actions;
}

}  // namespace stdlookup
