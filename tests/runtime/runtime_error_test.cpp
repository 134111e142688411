#include "runtime/runtime_error.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "runtime/gbk.h"
#include "support/platform.h"
#include "support/recording_presenter.h"

namespace stdlookup {
namespace {

using namespace literals;

TEST(RuntimeErrorText, BuildsTheDialogTextExactly) {
  EXPECT_EQ(gbk_to_utf8(runtime_error_text(6, runtime_error_message(6))),
            "运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：调用DLL命令后发现堆栈错误\r\n");
  EXPECT_EQ(gbk_to_utf8(runtime_error_text(0, "")), "运行时出错!\r\n\r\n");
  EXPECT_EQ(gbk_to_utf8(runtime_error_text(4, runtime_error_message(4))),
            "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n");
  EXPECT_EQ(gbk_to_utf8(runtime_error_text(0, allocation_failure_message(123))),
            "运行时出错!\r\n\r\n错误信息：分配 123 字节内存失败!\r\n");
}

TEST(RuntimeErrorText, TableHasElevenMessages) {
  EXPECT_EQ(gbk_to_utf8(runtime_error_message(1)), "数组成员引用下标超出定义范围");
  EXPECT_EQ(gbk_to_utf8(runtime_error_message(9)),
            "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围");
  EXPECT_EQ(gbk_to_utf8(runtime_error_message(11)), "所提供参数的数据类型不符合要求");
  for (int code = 1; code <= 11; ++code) EXPECT_FALSE(runtime_error_message(code).empty());
  EXPECT_TRUE(runtime_error_message(0).empty());
  EXPECT_TRUE(runtime_error_message(12).empty());
}

TEST(RuntimeErrorText, FixedMessagesWithoutCode) {
  EXPECT_EQ(gbk_to_utf8(binding_failure_message("wininet.dll", "InternetOpenA")),
            "无法找到指定DLL库文件“wininet.dll”中的输出命令“InternetOpenA”");
  EXPECT_EQ(gbk_to_utf8(binding_failure_message("CreateThread")),
            "无法找到指定DLL库文件中的输出命令“CreateThread”");
  EXPECT_EQ(gbk_to_utf8(main_window_load_failure_message()), "载入启动窗口失败");
}

TEST(RuntimeErrorDeathTest, ReportEndsTheProcessWithMinusOne) {
  EXPECT_EXIT(report_runtime_error(kIndexBelowOne),
              ::testing::ExitedWithCode(test::kRuntimeErrorExitCode),
              "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1");
  EXPECT_EXIT(report_runtime_error(""), ::testing::ExitedWithCode(test::kRuntimeErrorExitCode),
              "运行时出错!");
}

TEST(RuntimeErrorDeathTest, GoesThroughThePresenterFromAWorkerThread) {
  EXPECT_EXIT(
      {
        // The presenter sees the text; the process ends from the worker thread, not main.
        struct Shouting : test::RecordingPresenter {
          void show_runtime_error(const Text& text) override {
            std::fprintf(stderr, "[presenter] %s", gbk_to_utf8(text).c_str());
          }
        } presenter;
        std::thread worker([] { report_runtime_error(kChoiceOutOfRange); });
        worker.join();
        std::fprintf(stderr, "main thread went on\n");
      },
      ::testing::ExitedWithCode(test::kRuntimeErrorExitCode),
      "\\[presenter\\] 运行时出错!\\s*错误代码：9");
}

// The first dialog waits for a GUI thread that raises a second error meanwhile: the second must
// end the process instead of waiting for the first.
[[noreturn]] void second_error_while_the_first_dialog_waits() {
  static std::atomic<bool> first_dialog_up{false};
  struct StuckDialog : test::RecordingPresenter {
    void show_runtime_error(const Text&) override {
      first_dialog_up = true;
      for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
  };
  static StuckDialog presenter;
  std::thread([] { report_runtime_error(kIndexBelowOne); }).detach();
  while (!first_dialog_up) std::this_thread::yield();
  report_runtime_error(kIndexAboveCount);
}

TEST(RuntimeErrorDeathTest, ASecondErrorDoesNotWaitForTheFirstDialog) {
  EXPECT_EXIT(second_error_while_the_first_dialog_waits(),
              ::testing::ExitedWithCode(test::kRuntimeErrorExitCode), "错误代码：1");
}

TEST(RuntimeErrorDeathTest, ExhaustedMemoryNamesTheByteCount) {
  EXPECT_EXIT(
      {
        volatile std::size_t huge = std::size_t{1} << 62;
        void* p = ::operator new(huge);
        std::fprintf(stderr, "allocated %p\n", p);
      },
      ::testing::ExitedWithCode(test::kRuntimeErrorExitCode),
      "分配 4611686018427387904 字节内存失败!");
}

}  // namespace
}  // namespace stdlookup
