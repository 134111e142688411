// The window cases every front end passes alike, run through its WindowDriver over the real
// window: where each control sits, which action each click runs, the batch thread's writes,
// texts as GBK, closing while a batch runs, and the program's --help and --version.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/expected_layout.h"
#include "app/window_driver.h"
#include "runtime/system.h"
#include "support/gbk_literals.h"
#include "support/recording_actions.h"
#include "support/scoped_env.h"
#include "support/subprocess.h"

namespace stdlookup {
namespace {

using test::g;

TEST(Window, EveryControlSitsAtItsLayoutPlaceWithItsCaptionAndFlags) {
  auto window = test::make_window_driver(Actions{});
  window->show();
  const test::Placement client = window->client_area();
  for (const auto& expected : test::expected_controls()) {
    SCOPED_TRACE(std::string(expected.name));
    const std::optional<test::Placement> at = window->placement(expected.name);
    ASSERT_TRUE(at.has_value());
    EXPECT_EQ((std::array{at->left, at->top, at->width, at->height}),
              (std::array{window->scaled(expected.left), window->scaled(expected.top),
                          window->scaled(expected.width), window->scaled(expected.height)}));
    EXPECT_EQ(at->visible, expected.visible);
    EXPECT_EQ(at->focus, expected.focus);
    EXPECT_TRUE(at->enabled);
    EXPECT_EQ(window->controls().caption(expected.name), g(expected.caption));
    if (expected.parent.empty()) {  // the frames hold the rest: nothing is cut off
      EXPECT_LE(at->left + at->width, client.width);
      EXPECT_LE(at->top + at->height, client.height);
    }
  }
  for (std::string_view name : {kSaveDialog, kExcelApplication, kExcelWorkbooks}) {
    EXPECT_FALSE(window->placement(name).has_value()) << name;
  }
}

TEST(Window, EachButtonRunsItsActionAndTheStartButtonGoesOffForGood) {
  test::RecordingActions recorder;
  auto window = test::make_window_driver(recorder.actions());
  EXPECT_EQ(recorder.styles, std::vector<int>{1});  // the window's creation
  window->show();
  std::vector<std::string> expected;
  for (const auto& route : test::expected_routes()) {
    if (route.button == kBatchButton) continue;
    window->click(route.button);
    expected.emplace_back(route.action);
  }
  EXPECT_EQ(recorder.ran, expected);

  // 开始 runs the batch on a thread of its own with the window's controls, and goes off.
  window->click(kBatchButton);
  ASSERT_TRUE(window->wait_for([&] { return recorder.batch_runs == 1; }));
  EXPECT_EQ(recorder.batch_controls.load(), &window->controls());
  EXPECT_NE(recorder.batch_thread.load(), std::this_thread::get_id());
  EXPECT_TRUE(window->controls().disabled(kBatchButton));
  test::ThreadStarterGuard guard;
  int starts = 0;
  set_thread_starter([&starts](std::function<void()>) {
    ++starts;
    return false;
  });
  window->click(kBatchButton);  // a disabled button takes no click
  EXPECT_EQ(starts, 0);
  window->controls().set_disabled(kBatchButton, false);
  window->click(kBatchButton);  // a thread that cannot be made still turns it off
  EXPECT_EQ(starts, 1);
  EXPECT_TRUE(window->controls().disabled(kBatchButton));
  EXPECT_EQ(recorder.styles, std::vector<int>{1});
}

TEST(Window, WritesFromTheBatchThreadAreDoneOnTheGuiThreadBeforeTheCallReturns) {
  std::atomic<int> step{0};
  const std::thread::id gui = std::this_thread::get_id();
  std::thread::id together_on;
  Actions actions;
  actions.batch_query = [&](Controls& c) {
    c.set_progress_maximum(kProgressBar, 40000);  // beyond a 16-bit range
    c.set_progress_position(kProgressBar, 39999);
    c.together([&] {
      together_on = std::this_thread::get_id();
      const int row = c.list_insert_row(kResultList, "GB 2760-2014");
      c.list_set_cell(kResultList, row, 3, g("现行"));
    });
    c.set_caption(kStatusLabel, g("作废"));
    step = 1;  // every write above must be in the real controls from here on
    while (step != 2) pause(1);
    c.set_edit_text(kNumberBox, c.list_cell(kResultList, 0, 0));
    step = 3;
  };
  auto window = test::make_window_driver(actions);
  Controls& controls = window->controls();
  window->show();
  window->click(kBatchButton);
  ASSERT_TRUE(window->wait_for([&] { return step == 1; }));
  EXPECT_EQ(together_on, gui);
  EXPECT_EQ(window->progress_maximum(kProgressBar), 40000);
  EXPECT_EQ(window->progress_position(kProgressBar), 39999);
  ASSERT_EQ(controls.list_row_count(kResultList), 1);
  EXPECT_EQ(controls.list_cell(kResultList, 0, 3), g("现行"));
  EXPECT_EQ(controls.caption(kStatusLabel), g("作废"));
  step = 2;
  ASSERT_TRUE(window->wait_for([&] { return step == 3; }));
  EXPECT_EQ(controls.edit_text(kNumberBox), "GB 2760-2014");
}

TEST(Window, TextsCrossAsGbkAndWritesThatDoNotFitDoNothing) {
  auto window = test::make_window_driver(Actions{});
  Controls& controls = window->controls();
  window->show();
  const std::string name = g("食品安全国家标准 ") + std::string(600, 'x');  // past any buffer
  controls.set_edit_text(kNameBox, name);
  EXPECT_EQ(controls.edit_text(kNameBox), name);
  window->type(kBatchInput, "GB 1\nGB 2\n");  // Enter breaks the line
  EXPECT_EQ(controls.edit_text(kBatchInput), "GB 1\r\nGB 2\r\n");
  controls.set_edit_text(kBatchInput, g("国标\r\nGB 3"));
  EXPECT_EQ(controls.edit_text(kBatchInput), g("国标\r\nGB 3"));
  controls.set_caption(kStatusLabel, g("<b>作废</b>"));
  EXPECT_EQ(controls.caption(kStatusLabel), g("<b>作废</b>"));
  EXPECT_EQ(controls.caption(kDetailButton), g("详细情况\r\n点击这里"));

  EXPECT_EQ(controls.list_insert_row(kResultList, name), 0);
  EXPECT_EQ(controls.list_insert_row(kResultList, "GB 2"), 1);
  controls.list_set_cell(kResultList, 1, 1, g("名称"));
  controls.list_set_cell(kResultList, 2, 0, "no such row");
  controls.list_set_cell(kResultList, 0, 4, "no such column");
  EXPECT_EQ(controls.list_row_count(kResultList), 2);
  EXPECT_EQ(controls.list_cell(kResultList, 0, 0), name);
  EXPECT_EQ(controls.list_cell(kResultList, 1, 1), g("名称"));
  for (const auto& [row, column] : {std::pair{0, 1}, {5, 0}, {-1, 0}, {0, 4}}) {
    EXPECT_EQ(controls.list_cell(kResultList, row, column), "") << row << "," << column;
  }

  // Writes that do not fit a control's kind do nothing.
  controls.set_edit_text(kQueryButton, "x");
  EXPECT_EQ(controls.caption(kQueryButton), g("查询"));
  EXPECT_EQ(controls.edit_text(kStatusLabel), "");
  EXPECT_EQ(controls.caption(kNumberInput), "");

  // The bar holds its position within 0 … maximum; a maximum of 0 is an empty bar, not the
  // toolkit's busy animation.
  controls.set_progress_maximum(kProgressBar, 50000);
  controls.set_progress_position(kProgressBar, 60000);
  EXPECT_EQ(window->progress_position(kProgressBar), 50000);
  controls.set_progress_position(kProgressBar, -5);
  EXPECT_EQ(window->progress_position(kProgressBar), 0);
  controls.set_progress_maximum(kProgressBar, 0);
  controls.set_progress_position(kProgressBar, 5);
  EXPECT_EQ(window->progress_position(kProgressBar), 0);

  controls.set_disabled(kExportButton, true);
  EXPECT_TRUE(controls.disabled(kExportButton));
  CommonDialog& dialog = controls.common_dialog(kSaveDialog);
  EXPECT_EQ(dialog.filter, "*.xls|*.xls");
  dialog.type = 1;
  EXPECT_EQ(controls.common_dialog(kSaveDialog).type, 1);  // the same object
}

TEST(WindowDeathTest, ClosingTheWindowWhileABatchRunsEndsTheProgramWithZero) {
  EXPECT_EXIT(
      {
        std::atomic<int> written{0};
        Actions actions;
        actions.batch_query = [&written](Controls& c) {
          for (int i = 1;; ++i) {  // never ends by itself
            c.list_insert_row(kResultList, "GB " + std::to_string(i));
            written = i;
            pause(1);
          }
        };
        auto window = test::make_window_driver(actions);
        window->show();
        window->click(kBatchButton);
        if (!window->wait_for([&] { return written > 20; })) std::_Exit(3);
        window->close();
        window->run_message_loop();
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(WindowProgram, HelpAndVersionPrintWithoutOpeningTheWindow) {
  // Where a window system is chosen by the environment, there is none to open a window on.
  test::ScopedEnv no_display{"DISPLAY", std::nullopt};
  test::ScopedEnv platform{"QT_QPA_PLATFORM", "xcb"};
  for (const std::string option : {"--help", "--version"}) {
    const test::ProcessResult run = test::run_process({STDLOOKUP_PROGRAM, option});
    EXPECT_EQ(run.exit_code, 0) << option;
    EXPECT_EQ(run.out.rfind(option == "--help" ? "Usage: stdlookup " : "stdlookup ", 0), 0u)
        << run.out;
  }
}

}  // namespace
}  // namespace stdlookup
