// A presenter for tests: records every box and answers with a preset button and dialog result.
#pragma once

#include <mutex>
#include <vector>

#include "runtime/window_services.h"

namespace stdlookup::test {

class RecordingPresenter : public Presenter {
 public:
  struct Box {
    Text message;
    Text title;
    unsigned flags;
  };

  RecordingPresenter() { previous_ = set_presenter(this); }
  ~RecordingPresenter() override { set_presenter(previous_); }
  RecordingPresenter(const RecordingPresenter&) = delete;
  RecordingPresenter& operator=(const RecordingPresenter&) = delete;

  MessageBoxButton show_message_box(const Text& message, const Text& title,
                                    unsigned flags) override {
    std::lock_guard lock(mutex_);
    boxes.push_back({message, title, flags});
    if (answers.empty()) return answer;
    MessageBoxButton next = answers.front();
    answers.erase(answers.begin());
    return next;
  }
  void process_pending_messages() override {
    std::lock_guard lock(mutex_);
    ++pending_message_passes;
  }
  bool show_common_dialog(CommonDialog& dialog) override {
    std::lock_guard lock(mutex_);
    dialogs.push_back(dialog);
    std::optional<Text> result = dialog_result;
    if (!dialog_results.empty()) {
      result = dialog_results.front();
      dialog_results.erase(dialog_results.begin());
    }
    if (result) dialog.file_name = *result;
    return result.has_value();
  }
  void show_runtime_error(const Text& text) override {
    std::lock_guard lock(mutex_);
    runtime_errors.push_back(text);
  }

  std::vector<Box> boxes;
  std::vector<CommonDialog> dialogs;
  std::vector<Text> runtime_errors;
  int pending_message_passes = 0;
  MessageBoxButton answer = MessageBoxButton::ok;
  std::vector<MessageBoxButton> answers;            // used up first, one per box
  std::optional<Text> dialog_result;                // the confirmed path, or nullopt for cancel
  std::vector<std::optional<Text>> dialog_results;  // used up first, one per dialog

 private:
  std::mutex mutex_;
  Presenter* previous_;
};

}  // namespace stdlookup::test
