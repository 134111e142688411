// The event table: which action a control's event runs, and the start of the batch thread.
#pragma once

#include <functional>
#include <string_view>

#include "controls/controls.h"

namespace stdlookup {

using Action = std::function<void(Controls&)>;

// The actions the window's events run. Every slot may be empty (nothing happens).
struct Actions {
  Action single_query;        // 按钮1, GUI thread
  Action open_detail_page;    // 按钮2, GUI thread
  Action export_to_workbook;  // 按钮3, GUI thread
  Action download_search;     // 按钮5, GUI thread
  Action open_download_link;  // 按钮6, GUI thread
  Action batch_query;         // body of the batch thread started by 按钮4
  // The front end's themed drawing, switched on with style 1 when the window's creation ends.
  std::function<void(int style)> themed_drawing;
};

// Runs what the layout binds to event `event` of `control` (event 0: click, end of creation).
// Returns false when nothing is bound there.
bool handle_event(const Actions& actions, Controls& controls, std::string_view control,
                  int event = 0);

// The click on 按钮4: starts `batch_query` on a thread of its own, then disables 按钮4, also
// when the thread could not be created, so a batch starts at most once per run. `controls`
// must outlive the thread.
void start_batch(Controls& controls, Action batch_query);

}  // namespace stdlookup
