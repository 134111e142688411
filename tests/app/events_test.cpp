#include "app/events.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <map>
#include <string>
#include <thread>

#include "app/expected_layout.h"
#include "app/layout.h"
#include "app/memory_controls.h"
#include "runtime/system.h"

namespace stdlookup {
namespace {

// Actions that record their own name; the batch body reports the controls it was given.
struct RecordingActions {
  std::vector<std::string> ran;
  std::promise<Controls*> batch_controls;
  std::vector<int> styles;

  Actions actions() {
    Actions a;
    auto record = [this](std::string name) {
      return [this, name](Controls&) { ran.push_back(name); };
    };
    a.single_query = record("single_query");
    a.open_detail_page = record("open_detail_page");
    a.export_to_workbook = record("export_to_workbook");
    a.download_search = record("download_search");
    a.open_download_link = record("open_download_link");
    a.batch_query = [this](Controls& c) { batch_controls.set_value(&c); };
    a.themed_drawing = [this](int style) { styles.push_back(style); };
    return a;
  }
};

class ThreadStarterGuard {
 public:
  ~ThreadStarterGuard() { set_thread_starter({}); }
};

TEST(EventTable, EachButtonRunsItsOwnActionOnce) {
  for (const auto& route : test::expected_routes()) {
    SCOPED_TRACE(std::string(route.button));
    RecordingActions recorder;
    MemoryControls controls(main_window_layout());
    EXPECT_TRUE(handle_event(recorder.actions(), controls, route.button));
    if (route.action == "batch_query") {
      auto ran_with = recorder.batch_controls.get_future();
      ASSERT_EQ(ran_with.wait_for(std::chrono::seconds(10)), std::future_status::ready);
      EXPECT_EQ(ran_with.get(), &controls);
      EXPECT_TRUE(recorder.ran.empty());
    } else {
      EXPECT_EQ(recorder.ran, std::vector<std::string>{std::string(route.action)});
    }
    EXPECT_TRUE(recorder.styles.empty());
  }
}

TEST(EventTable, WindowCreationSwitchesThemedDrawingOnWithStyleOne) {
  RecordingActions recorder;
  MemoryControls controls(main_window_layout());
  EXPECT_TRUE(handle_event(recorder.actions(), controls, kMainWindow));
  EXPECT_EQ(recorder.styles, std::vector<int>{1});
  EXPECT_TRUE(recorder.ran.empty());
}

TEST(EventTable, UnboundControlsEventsAndEmptyActionsDoNothing) {
  RecordingActions recorder;
  MemoryControls controls(main_window_layout());
  for (std::string_view name : {"标签5", "编辑框1", "分组框1", "进度条1", "no such control"}) {
    EXPECT_FALSE(handle_event(recorder.actions(), controls, name)) << name;
  }
  EXPECT_FALSE(handle_event(recorder.actions(), controls, "按钮1", 1));
  EXPECT_TRUE(recorder.ran.empty());
  // Placeholder actions: a click on an empty slot is handled and changes nothing.
  EXPECT_TRUE(handle_event(Actions{}, controls, "按钮3"));
  EXPECT_TRUE(handle_event(Actions{}, controls, kMainWindow));
  EXPECT_EQ(controls.caption("按钮6"), MemoryControls(main_window_layout()).caption("按钮6"));
}

TEST(BatchStart, DisablesTheStartButtonAfterOneClick) {
  MemoryControls controls(main_window_layout());
  std::promise<void> done;
  ASSERT_FALSE(controls.disabled("按钮4"));
  start_batch(controls, [&done](Controls& c) {
    c.set_progress_maximum("进度条1", 3);
    done.set_value();
  });
  EXPECT_TRUE(controls.disabled("按钮4"));
  ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(controls.progress_maximum("进度条1"), 3);
}

TEST(BatchStart, DisablesTheStartButtonAlsoWhenNoThreadCouldBeCreated) {
  ThreadStarterGuard guard;
  int attempts = 0;
  set_thread_starter([&attempts](std::function<void()>) {
    ++attempts;
    return false;
  });
  MemoryControls controls(main_window_layout());
  bool ran = false;
  Actions actions;
  actions.batch_query = [&ran](Controls&) { ran = true; };
  EXPECT_TRUE(handle_event(actions, controls, "按钮4"));
  EXPECT_EQ(attempts, 1);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(controls.disabled("按钮4"));
}

TEST(BatchStart, AnEmptyBodyStillDisablesTheButton) {
  MemoryControls controls(main_window_layout());
  start_batch(controls, {});
  EXPECT_TRUE(controls.disabled("按钮4"));
}

}  // namespace
}  // namespace stdlookup
