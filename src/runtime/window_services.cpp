#include "runtime/window_services.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "runtime/conversion.h"
#include "runtime/gbk.h"
#include "runtime/runtime_error.h"
#include "runtime/system.h"
#include "runtime/system_platform.h"

namespace stdlookup {

using namespace literals;

namespace {

// Without a window: boxes and the runtime error go to stderr (in UTF-8), the box answers with
// its first button, and the file dialog counts as cancelled.
class ConsolePresenter final : public Presenter {
 public:
  MessageBoxButton show_message_box(const Text& message, const Text& title,
                                    unsigned flags) override {
    std::string line = gbk_to_utf8(title) + " " + gbk_to_utf8(message) + "\n";
    std::fputs(line.c_str(), stderr);
    switch (flags & kMbButtonMask) {
      case kMbAbortRetryIgnore:
        return MessageBoxButton::abort;
      case kMbYesNoCancel:
      case kMbYesNo:
        return MessageBoxButton::yes;
      case kMbRetryCancel:
        return MessageBoxButton::retry;
      default:
        return MessageBoxButton::ok;
    }
  }
  void process_pending_messages() override {}
  bool show_common_dialog(CommonDialog&) override { return false; }
  void show_runtime_error(const Text& text) override {
    std::string utf8 = gbk_to_utf8(text);
    std::fputs(utf8.c_str(), stderr);
    std::fflush(stderr);
  }
};

ConsolePresenter console_presenter;
std::atomic<Presenter*> current_presenter{&console_presenter};

void show_runtime_error(const Text& text) {
  current_presenter.load()->show_runtime_error(text);
}

// Tests replace the opener; the real one is the platform's.
std::mutex opener_mutex;
std::function<bool(const Text&)> custom_opener;

bool open_with_opener(const std::string& target, bool native_path) {
  std::unique_lock lock(opener_mutex);
  const auto opener = custom_opener;
  lock.unlock();
  return opener ? opener(target) : desktop_open(target, native_path);
}

}  // namespace

Presenter& presenter() {
  return *current_presenter.load();
}

Presenter* set_presenter(Presenter* p) {
  set_runtime_error_dialog(show_runtime_error);
  return current_presenter.exchange(p ? p : &console_presenter);
}

int message_box(std::string_view message, unsigned flags, std::string_view title) {
  if (!(flags & kMbSystemModal)) flags |= kMbTaskModal;
  MessageBoxButton pressed = presenter().show_message_box(Text(message), Text(title), flags);
  return static_cast<int>(pressed) - 1;
}

int message_box(std::string_view message, unsigned flags) {
  return message_box(message, flags, "信息："_gbk);
}

int message_box(int number, unsigned flags) {
  return message_box(to_text(number), flags);
}

void process_pending_messages() {
  presenter().process_pending_messages();
}

void run_busy(const std::function<void()>& work) {
  presenter().run_busy(work);
}

bool shell_open(const Text& target) {
  return open_with_opener(target, false);
}

bool shell_open_path(const std::string& native_path) {
  return open_with_opener(native_path, true);
}

void set_shell_opener(std::function<bool(const Text&)> opener) {
  std::lock_guard lock(opener_mutex);
  custom_opener = std::move(opener);
}

bool show_common_dialog(CommonDialog& dialog) {
  const unsigned checks = dialog.flags & (kOfnOverwritePrompt | kOfnPathMustExist);
  if (dialog.type != 1) return presenter().show_common_dialog(dialog);
  // The platform's dialog would ask about the name before adjustment: the checks run here.
  dialog.flags &= ~checks;
  struct RestoreFlags {
    CommonDialog& dialog;
    unsigned checks;
    ~RestoreFlags() { dialog.flags |= checks; }
  } restore{dialog, checks};
  for (;;) {
    if (!presenter().show_common_dialog(dialog)) return false;
    if (dialog.adjust_file_name) dialog.file_name = dialog.adjust_file_name(dialog.file_name);
    const std::filesystem::path path = native_path(dialog.file_name);
    std::error_code error;
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    const Text shown = utf8_to_gbk(dialog.file_name);
    if ((checks & kOfnPathMustExist) && !std::filesystem::is_directory(folder, error)) {
      message_box(shown + "\r\n" + "路径不存在。\r\n请检查路径是否正确。"_gbk,
                  kMbOk | kMbIconExclamation, "另存为"_gbk);
      continue;
    }
    if ((checks & kOfnOverwritePrompt) && std::filesystem::exists(path, error) &&
        message_box(shown + " 已存在。\r\n要替换它吗?"_gbk, kMbYesNo | kMbIconExclamation,
                    "确认另存为"_gbk) != 5) {
      continue;
    }
    return true;
  }
}

}  // namespace stdlookup
