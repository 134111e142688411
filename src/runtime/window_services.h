// The services a window program asks of the system: message boxes, pending messages, the common
// file dialog, the runtime error dialog and the desktop's opener. Boxes and dialogs go through a
// replaceable presenter so that the logic never sees the toolkit and tests never block on a real
// dialog.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

// Hands a file or an absolute URL (GBK) to the desktop's opener, which starts the application
// registered for it: xdg-open on Linux, started directly, never through a shell. Returns
// whether the opener could be started; nothing waits for it.
bool shell_open(const Text& target);
// The same for a native path (UTF-8), such as a file name from the save dialog: a name GBK
// cannot hold still reaches the opener intact.
bool shell_open_path(const std::string& native_path);
// Replaces the opener of both (tests); an empty function restores the real one.
void set_shell_opener(std::function<bool(const Text&)> opener);

// Message box style bits and results.
enum MessageBoxFlags : unsigned {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbAbortRetryIgnore = 0x2,
  kMbYesNoCancel = 0x3,
  kMbYesNo = 0x4,
  kMbRetryCancel = 0x5,
  kMbButtonMask = 0xF,
  kMbIconHand = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconExclamation = 0x30,
  kMbIconInformation = 0x40,
  kMbIconMask = 0xF0,
  kMbSystemModal = 0x1000,
  kMbTaskModal = 0x2000,
};

enum class MessageBoxButton : int { ok = 1, cancel, abort, retry, ignore, yes, no };

// The file dialog a common-dialog control describes; file_name carries the initial name in and
// the confirmed path out, as a native path (UTF-8 on Linux), not a GBK text, so that a name GBK
// cannot hold still names the file the user chose. The other texts are GBK.
struct CommonDialog {
  int type = 0;  // 0 open, 1 save
  Text filter;   // "text|pattern|text|pattern"
  int initial_filter = 1;
  Text default_extension;
  Text title;
  Text initial_directory;
  unsigned flags = 0;
  Text file_name;
  // Save dialogs: what a confirmed name becomes (say, the extension its content needs). The
  // overwrite question and the path check are about the result, which is what file_name gets.
  std::function<Text(const Text& file_name)> adjust_file_name;
};

enum CommonDialogFlags : unsigned {
  kOfnOverwritePrompt = 0x2,
  kOfnHideReadOnly = 0x4,
  kOfnPathMustExist = 0x800,
  kOfnFileMustExist = 0x1000,
};

class Presenter {
 public:
  virtual ~Presenter() = default;
  // Shows a box (no owner window) and returns the button pressed. Texts are GBK.
  virtual MessageBoxButton show_message_box(const Text& message, const Text& title,
                                            unsigned flags) = 0;
  virtual void process_pending_messages() = 0;
  virtual bool show_common_dialog(CommonDialog& dialog) = 0;
  // Runs `work` (which may run on another thread) and returns when it is done. A window keeps
  // repainting meanwhile and shows a wait cursor, but handles no input, so no other click runs
  // before `work` has ended.
  virtual void run_busy(const std::function<void()>& work) { work(); }
  // The runtime error dialog, titled "错误"; returns once the user has closed it.
  virtual void show_runtime_error(const Text& text) = 0;
};

// The presenter in force; without a window it is a console one that writes to stderr.
Presenter& presenter();
// Installs `p` (not owned) and returns the previous one; nullptr restores the console presenter.
// Runtime errors (runtime/runtime_error.h) show their dialog through the presenter in force.
Presenter* set_presenter(Presenter* p);

// Adds MB_TASKMODAL unless MB_SYSTEMMODAL is given; an omitted title is "信息：". Returns the
// button as OK 0, Cancel 1, Abort 2, Retry 3, Ignore 4, Yes 5, No 6.
int message_box(std::string_view message, unsigned flags);
int message_box(std::string_view message, unsigned flags, std::string_view title);
int message_box(int number, unsigned flags);

void process_pending_messages();
void run_busy(const std::function<void()>& work);
// Shows the dialog until the user confirms a usable name or cancels. For a save dialog the
// runtime itself asks before overwriting (kOfnOverwritePrompt) and refuses a missing folder
// (kOfnPathMustExist), after adjust_file_name, so that the question names the file written.
bool show_common_dialog(CommonDialog& dialog);

}  // namespace stdlookup
