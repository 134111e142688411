// The lookup actions of the main window, written against the Controls interface.
#pragma once

#include "controls/controls.h"
#include "lookup/lookup.h"

namespace stdlookup {

// 按钮1: clears the cookie files, looks up the number in 编辑框1 and shows the fields.
void single_query(Controls& controls, const PageFetcher& fetch = fetch_page);

struct BatchOptions {
  PageFetcher fetch = fetch_page;
  int pause_ms = 500;  // after every request
};

// The batch worker's body: one list row per line of 编辑框7, with progress.
void batch_query(Controls& controls, const BatchOptions& options = {});

// 按钮2: opens the detail page of the number in 编辑框1 in the browser.
void open_detail_page(Controls& controls);

// 按钮5: finds the download link for the number in 编辑框1; 按钮6 opens it.
void download_search(Controls& controls, const PageFetcher& fetch = fetch_page);
void open_download_link(Controls& controls);

}  // namespace stdlookup
