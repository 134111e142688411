// Message boxes, pending messages, the file dialog and the runtime error dialog as Qt dialogs.
// Dialogs are always shown on the GUI thread; a call from another thread waits there until
// the user has closed the dialog.
#pragma once

#include <QStringList>

#include "runtime/window_services.h"

namespace stdlookup {

class QtPresenter final : public Presenter {
 public:
  MessageBoxButton show_message_box(const Text& message, const Text& title,
                                    unsigned flags) override;
  void process_pending_messages() override;
  bool show_common_dialog(CommonDialog& dialog) override;
  // On the GUI thread: `work` runs on a thread of its own while the GUI thread goes on painting
  // and takes close requests (no keyboard, mouse, input-method or drag-and-drop input), under a
  // wait cursor.
  void run_busy(const std::function<void()>& work) override;
  void show_runtime_error(const Text& text) override;
};

// Qt name filters ("text (pattern)") from a dialog filter "text|pattern|text|pattern".
QStringList dialog_name_filters(const Text& filter);

}  // namespace stdlookup
