#include "app/events.h"

#include "app/layout.h"
#include "runtime/system.h"

namespace stdlookup {
namespace {

void run(const Action& action, Controls& controls) {
  if (action) action(controls);
}

}  // namespace

bool handle_event(const Actions& actions, Controls& controls, std::string_view control, int event) {
  const ControlEntry* entry = find_control(control);
  if (entry == nullptr || event != 0) return false;
  switch (entry->on_event0) {
    case EventAction::none:
      return false;
    case EventAction::themed_drawing:
      if (actions.themed_drawing) actions.themed_drawing(1);
      return true;
    case EventAction::single_query:
      run(actions.single_query, controls);
      return true;
    case EventAction::open_detail_page:
      run(actions.open_detail_page, controls);
      return true;
    case EventAction::start_batch:
      start_batch(controls, actions.batch_query);
      return true;
    case EventAction::export_to_workbook:
      run(actions.export_to_workbook, controls);
      return true;
    case EventAction::download_search:
      run(actions.download_search, controls);
      return true;
    case EventAction::open_download_link:
      run(actions.open_download_link, controls);
      return true;
  }
  return false;
}

void start_batch(Controls& controls, Action batch_query) {
  // The thread's result is not examined: the button goes off either way.
  start_thread([&controls, body = std::move(batch_query)] {
    if (body) body(controls);
  });
  controls.set_disabled(kBatchButton, true);
}

}  // namespace stdlookup
