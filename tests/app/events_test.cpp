#include "app/events.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <map>
#include <string>
#include <thread>

#include "app/expected_layout.h"
#include "app/front_end.h"
#include "app/layout.h"
#include "controls/memory_controls.h"
#include "runtime/gbk.h"
#include "runtime/system.h"
#include "support/recording_actions.h"

namespace stdlookup {
namespace {

using test::RecordingActions;
using test::ThreadStarterGuard;

TEST(EventTable, EachButtonRunsItsOwnActionOnce) {
  for (const auto& route : test::expected_routes()) {
    SCOPED_TRACE(std::string(route.button));
    RecordingActions recorder;
    MemoryControls controls;
    start_as_window(controls);
    EXPECT_TRUE(handle_event(recorder.actions(), controls, route.button));
    if (route.action == "batch_query") {
      for (int waited = 0; recorder.batch_runs == 0 && waited < 10000; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      ASSERT_EQ(recorder.batch_runs, 1);
      EXPECT_EQ(recorder.batch_controls.load(), &controls);
      EXPECT_NE(recorder.batch_thread.load(), std::this_thread::get_id());
      EXPECT_TRUE(recorder.ran.empty());
    } else {
      EXPECT_EQ(recorder.ran, std::vector<std::string>{std::string(route.action)});
    }
    EXPECT_TRUE(recorder.styles.empty());
  }
}

TEST(EventTable, WindowCreationSwitchesThemedDrawingOnWithStyleOne) {
  RecordingActions recorder;
  MemoryControls controls;
  start_as_window(controls);
  EXPECT_TRUE(handle_event(recorder.actions(), controls, kMainWindow));
  EXPECT_EQ(recorder.styles, std::vector<int>{1});
  EXPECT_TRUE(recorder.ran.empty());
}

TEST(EventTable, UnboundControlsEventsAndEmptyActionsDoNothing) {
  RecordingActions recorder;
  MemoryControls controls;
  start_as_window(controls);
  for (std::string_view name : {kStatusLabel, kNumberInput, kSingleQueryGroup, kProgressBar,
                                std::string_view("no such control")}) {
    EXPECT_FALSE(handle_event(recorder.actions(), controls, name)) << name;
  }
  EXPECT_FALSE(handle_event(recorder.actions(), controls, kQueryButton, 1));
  EXPECT_TRUE(recorder.ran.empty());
  // Placeholder actions: a click on an empty slot is handled and changes nothing.
  EXPECT_TRUE(handle_event(Actions{}, controls, kExportButton));
  EXPECT_TRUE(handle_event(Actions{}, controls, kMainWindow));
  EXPECT_EQ(controls.caption(kDownloadLinkButton),
            utf8_to_gbk(find_control(kDownloadLinkButton)->caption));
}

TEST(BatchStart, DisablesTheStartButtonAfterOneClick) {
  MemoryControls controls;
  start_as_window(controls);
  std::promise<void> done;
  ASSERT_FALSE(controls.disabled(kBatchButton));
  start_batch(controls, [&done](Controls& c) {
    c.set_progress_maximum(kProgressBar, 3);
    done.set_value();
  });
  EXPECT_TRUE(controls.disabled(kBatchButton));
  ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(controls.progress_maximum(kProgressBar), 3);
}

TEST(BatchStart, DisablesTheStartButtonAlsoWhenNoThreadCouldBeCreated) {
  ThreadStarterGuard guard;
  int attempts = 0;
  set_thread_starter([&attempts](std::function<void()>) {
    ++attempts;
    return false;
  });
  MemoryControls controls;
  start_as_window(controls);
  bool ran = false;
  Actions actions;
  actions.batch_query = [&ran](Controls&) { ran = true; };
  EXPECT_TRUE(handle_event(actions, controls, kBatchButton));
  EXPECT_EQ(attempts, 1);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(controls.disabled(kBatchButton));
}

TEST(BatchStart, AnEmptyBodyStillDisablesTheButton) {
  MemoryControls controls;
  start_as_window(controls);
  start_batch(controls, {});
  EXPECT_TRUE(controls.disabled(kBatchButton));
}

// A request of the GUI thread that the window system's close reaches while it waits.
struct ClosedWhileWaiting final : BusyLoop {
  std::promise<void> done;
  bool can_wait() override { return true; }
  void wait() override { close_requested(), done.get_future().wait(); }
  void finish() override { done.set_value(); }
};

// Each case in a child that exits with 5 when the close went as it should; 0 is a close that
// ended the program.
TEST(CloseRequestDeathTest, EndsAtOnceDuringARequestWaitsForAnyOtherActionClosesBetween) {
  MemoryControls controls;
  Actions actions;
  int closes = 0, closes_after_nested = -1;
  bool waits = false;
  const auto close_window = [&closes] { ++closes; };
  actions.single_query = [](Controls&) { ClosedWhileWaiting().run([] {}); };
  actions.export_to_workbook = [&](Controls& c) {  // with a click its pass dispatches
    waits = !close_requested();
    click_control(actions, c, kDownloadLinkButton, close_window);
    closes_after_nested = closes;
  };
  EXPECT_EXIT(std::_Exit(close_requested() ? 5 : 6), ::testing::ExitedWithCode(5), "");
  EXPECT_EXIT((click_control(actions, controls, kExportButton, close_window),
               std::_Exit(waits && closes_after_nested == 0 && closes == 1 ? 5 : 6)),
              ::testing::ExitedWithCode(5), "");
  EXPECT_EXIT((click_control(actions, controls, kQueryButton, close_window), std::_Exit(6)),
              ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace stdlookup
