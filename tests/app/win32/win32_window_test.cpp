// The Win32 window read back from its real window handles: geometry, classes and styles, the
// dialog keys, the hand-over of the batch thread's writes, and how the program starts and ends.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <atomic>
#include <thread>

#include "app/expected_layout.h"
#include "app/layout.h"
#include "app/win32/start_up.h"
#include "app/win32/win32_controls.h"
#include "app/win32/win32_driver.h"
#include "runtime/runtime_error.h"
#include "runtime/win32_text.h"
#include "support/gbk_literals.h"
#include "support/platform.h"
#include "support/recording_actions.h"
#include "support/subprocess.h"

namespace stdlookup {
namespace {

using test::class_of;
using test::g;
using test::text_of;

LONG_PTR style_of(HWND window) {
  return GetWindowLongPtrW(window, GWL_STYLE);
}

// A rectangle in the coordinates of `window`'s client area.
RECT rect_in(HWND control, HWND window) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

class Win32WindowTest : public ::testing::Test {
 protected:
  test::RecordingActions recorded;
  test::Win32Driver driver{recorded.actions()};
  Win32Window& window = driver.window();
  int scaled(int value) const { return MulDiv(value, window.dpi(), 96); }
};

TEST_F(Win32WindowTest, EveryControlSitsAtItsGeometryWithItsClassCaptionAndFlags) {
  driver.show();
  EXPECT_EQ(text_of(window.handle()), "标准查询");
  RECT frame;
  GetWindowRect(window.handle(), &frame);
  EXPECT_EQ(frame.left, 50);
  EXPECT_EQ(frame.top, 50);
  // The layout's 929 × 605 is the outer size; the client area is what the frame leaves.
  EXPECT_EQ(frame.right - frame.left, scaled(929));
  EXPECT_EQ(frame.bottom - frame.top, scaled(605));
  RECT client;
  GetClientRect(window.handle(), &client);
  RECT framed = client;
  AdjustWindowRectEx(&framed, static_cast<DWORD>(style_of(window.handle())), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window.handle(), GWL_EXSTYLE)));
  EXPECT_EQ(framed.right - framed.left, frame.right - frame.left);
  EXPECT_EQ(framed.bottom - framed.top, frame.bottom - frame.top);

  for (const auto& expected : test::expected_controls()) {
    SCOPED_TRACE(std::string(expected.name));
    HWND control = window.control(expected.name);
    ASSERT_NE(control, nullptr);
    RECT rect = rect_in(control, window.handle());
    if (!expected.parent.empty()) {
      const RECT parent = rect_in(window.control(expected.parent), window.handle());
      OffsetRect(&rect, -parent.left, -parent.top);
    }
    EXPECT_EQ(rect.left, scaled(expected.left));
    EXPECT_EQ(rect.top, scaled(expected.top));
    EXPECT_EQ(rect.right - rect.left, scaled(expected.width));
    EXPECT_EQ(rect.bottom - rect.top, scaled(expected.height));
    EXPECT_EQ(IsWindowVisible(control) != FALSE, expected.visible);
    EXPECT_EQ((style_of(control) & WS_TABSTOP) != 0, expected.focus);
    EXPECT_TRUE(IsWindowEnabled(control));
    if (class_of(control) != L"Edit") {
      EXPECT_EQ(text_of(control), expected.caption);
    }
    EXPECT_EQ(window.controls().caption(expected.name),
              class_of(control) == L"Edit" ? "" : g(expected.caption));
    // Every control speaks the system's GUI font.
    EXPECT_EQ(SendMessageW(control, WM_GETFONT, 0, 0),
              SendMessageW(window.control(kQueryButton), WM_GETFONT, 0, 0));
  }
  for (std::string_view name : {kSaveDialog, kExcelApplication, kExcelWorkbooks}) {
    EXPECT_EQ(window.control(name), nullptr) << name;
  }
}

TEST_F(Win32WindowTest, ControlsHaveTheirClassesAndClassProperties) {
  const std::vector<std::pair<std::string_view, std::wstring>> classes = {
      {kSingleQueryGroup, L"Button"},
      {kStatusLabel, L"Static"},
      {kNumberInput, L"Edit"},
      {kQueryButton, L"Button"},
      {kProgressBar, L"msctls_progress32"},
      {kResultList, L"SysListView32"}};
  for (const auto& [name, expected] : classes) EXPECT_EQ(class_of(window.control(name)), expected);
  EXPECT_EQ(style_of(window.control(kSingleQueryGroup)) & BS_TYPEMASK, BS_GROUPBOX);
  EXPECT_EQ(style_of(window.control(kQueryButton)) & BS_TYPEMASK, BS_PUSHBUTTON);
  EXPECT_NE(style_of(window.control(kDetailButton)) & BS_MULTILINE, 0);  // a two-line caption

  const LONG_PTR batch = style_of(window.control(kBatchInput));
  EXPECT_EQ(batch & (ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL),
            ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL);
  EXPECT_EQ(style_of(window.control(kNumberInput)) & ES_MULTILINE, 0);
  EXPECT_NE(style_of(window.control(kStatusLabel)) & SS_NOPREFIX, 0);  // "&" shows as "&"

  HWND list = window.control(kResultList);
  EXPECT_EQ(style_of(list) & (LVS_TYPEMASK | LVS_SINGLESEL | LVS_NOSORTHEADER | LVS_NOCOLUMNHEADER),
            LVS_REPORT | LVS_SINGLESEL);
  const auto extended = SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
  EXPECT_NE(extended & LVS_EX_GRIDLINES, 0);
  EXPECT_EQ(extended & (LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES), 0);
  const std::vector<std::pair<std::string, int>> columns = {
      {"标准号", 100}, {"标准中文名", 160}, {"实施日期", 120}, {"是否作废", 80}};
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  ASSERT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 4);
  for (int i = 0; i < 4; ++i) {
    wchar_t text[32] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text;
    column.cchTextMax = 32;
    ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(i),
                             reinterpret_cast<LPARAM>(&column)));
    EXPECT_EQ(win32::wide_to_utf8(text), columns[static_cast<std::size_t>(i)].first);
    EXPECT_EQ(column.cx, scaled(columns[static_cast<std::size_t>(i)].second));
  }

  // Only 标签5 paints on its own pink.
  HDC dc = CreateCompatibleDC(nullptr);
  for (std::string_view name : {kStatusLabel, kInputLabel}) {
    SetBkColor(dc, RGB(1, 2, 3));
    SendMessageW(window.handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(window.control(name)));
    EXPECT_EQ(GetBkColor(dc) == RGB(255, 168, 255), name == kStatusLabel) << name;
  }
  DeleteDC(dc);
}

// The test program embeds the program's manifest: what it asks for is what the process gets.
// (Which common controls version draws is the system's: Wine reports 5 for both.)
TEST(Win32Manifest, AsksForCommonControlsSixAndGetsPerMonitorDpiAwareness) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr);
  const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  const std::string manifest(data, SizeofResource(nullptr, found));
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\""), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
  EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()),
            DPI_AWARENESS_PER_MONITOR_AWARE);
}

TEST_F(Win32WindowTest, TabWalksTheFocusControlsInLayoutOrderAndEnterIsPerControl) {
  driver.show();
  std::vector<std::string> expected;
  for (const auto& control : test::expected_controls()) {
    if (control.focus && control.visible) expected.emplace_back(control.name);
  }
  std::vector<std::string> walked;
  HWND start = window.control(kNumberInput);
  HWND at = start;
  do {
    for (const auto& control : test::expected_controls()) {
      if (window.control(control.name) == at) walked.emplace_back(control.name);
    }
    at = GetNextDlgTabItem(window.handle(), at, FALSE);
  } while (at != start && walked.size() <= expected.size());
  EXPECT_EQ(walked, expected);

  // Tab moves on, through the window's own dispatch.
  SetFocus(window.control(kNumberInput));
  driver.press(window.control(kNumberInput), VK_TAB);
  EXPECT_EQ(GetFocus(), window.control(kQueryButton));

  // Enter in the number box queries; in the batch box it breaks the line and runs nothing.
  driver.type(kNumberInput, "GB 2760");
  driver.press(window.control(kNumberInput), VK_RETURN);
  EXPECT_EQ(recorded.ran, std::vector<std::string>{"single_query"});
  driver.type(kBatchInput, "GB 1");
  driver.press(window.control(kBatchInput), VK_RETURN);
  EXPECT_EQ(window.controls().edit_text(kBatchInput), "GB 1\r\n");
  EXPECT_EQ(recorded.ran.size(), 1u);
}

TEST_F(Win32WindowTest, EachButtonClickRunsItsActionAndTheStartButtonGoesOffForGood) {
  for (const auto& route : test::expected_routes()) {
    if (route.button != kBatchButton) driver.click(route.button);
  }
  EXPECT_EQ(recorded.ran,
            (std::vector<std::string>{"single_query", "open_detail_page", "export_to_workbook",
                                      "download_search", "open_download_link"}));
  EXPECT_EQ(recorded.styles, std::vector<int>{1});  // the window's creation

  test::ThreadStarterGuard guard;
  set_thread_starter([](std::function<void()>) { return false; });
  driver.click(kBatchButton);
  EXPECT_FALSE(IsWindowEnabled(window.control(kBatchButton)));
  driver.click(kBatchButton);  // a disabled button takes no click
  EXPECT_EQ(recorded.batch_runs, 0);
}

TEST_F(Win32WindowTest, WritesFromAnotherThreadAreDoneOnTheGuiThreadBeforeTheCallReturns) {
  Controls& controls = window.controls();
  const DWORD gui = GetCurrentThreadId();
  std::atomic<bool> done{false};
  std::atomic<DWORD> ran_on{0};
  std::atomic<int> rows_seen{-1};
  std::thread worker([&] {
    controls.together([&] {
      ran_on = GetCurrentThreadId();
      const int row = controls.list_insert_row(kResultList, g("GB 1"));
      controls.list_set_cell(kResultList, row, 3, g("现行"));
      controls.set_progress_maximum(kProgressBar, 40000);  // beyond a 16-bit range
      controls.set_progress_position(kProgressBar, 39999);
    });
    rows_seen = controls.list_row_count(kResultList);
    done = true;
  });
  EXPECT_TRUE(driver.wait_for([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(ran_on, gui);
  EXPECT_EQ(rows_seen, 1);
  EXPECT_EQ(controls.list_cell(kResultList, 0, 3), g("现行"));
  EXPECT_EQ(driver.progress_position(kProgressBar), 39999);
  EXPECT_EQ(SendMessageW(window.control(kProgressBar), PBM_GETRANGE, FALSE, 0), 40000);
}

TEST_F(Win32WindowTest, TextsCrossAsGbkAndListCellsOfAnyLength) {
  Controls& controls = window.controls();
  const std::string name = g("食品安全国家标准 ") + std::string(600, 'x');  // past any buffer
  controls.set_edit_text(kNameBox, name);
  EXPECT_EQ(controls.edit_text(kNameBox), name);
  controls.set_edit_text(kBatchInput, g("GB 1\r\nGB 2"));
  EXPECT_EQ(controls.edit_text(kBatchInput), g("GB 1\r\nGB 2"));
  // A pasted batch list longer than an edit box takes by default arrives whole (at the caret,
  // which a written text leaves at its start).
  std::wstring pasted;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    pasted += L"GB 2760-2014\r\n";
    expected += "GB 2760-2014\r\n";
  }
  SendMessageW(window.control(kBatchInput), EM_REPLACESEL, FALSE,
               reinterpret_cast<LPARAM>(pasted.c_str()));
  EXPECT_EQ(controls.edit_text(kBatchInput), expected + g("GB 1\r\nGB 2"));
  const int row = controls.list_insert_row(kResultList, name);
  EXPECT_EQ(controls.list_cell(kResultList, row, 0), name);
  // Out of range: nothing written, empty reads.
  controls.list_set_cell(kResultList, row + 1, 0, "x");
  controls.list_set_cell(kResultList, row, 4, "x");
  EXPECT_EQ(controls.list_row_count(kResultList), 1);
  EXPECT_EQ(controls.list_cell(kResultList, row, 4), "");
  EXPECT_EQ(controls.list_cell(kResultList, -1, 0), "");
  // A maximum of 0 is an empty bar, not an error.
  controls.set_progress_maximum(kProgressBar, 0);
  controls.set_progress_position(kProgressBar, 5);
  EXPECT_EQ(driver.progress_position(kProgressBar), 0);
}

// Refuses every window the thread would create.
LRESULT CALLBACK refuse_windows(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_CREATEWND) return 1;
  return CallNextHookEx(nullptr, code, w, l);
}

TEST(Win32ProgramDeathTest, AWindowThatCannotBeCreatedIsTheRuntimeErrorAndExitsMinusOne) {
  EXPECT_EXIT(
      {
        SetWindowsHookExW(WH_CBT, refuse_windows, nullptr, GetCurrentThreadId());
        start_up(Actions{});
      },
      ::testing::ExitedWithCode(test::kRuntimeErrorExitCode), "载入启动窗口失败");
}

TEST(Win32ProgramDeathTest, ClosingTheWindowWhileABatchRunsEndsTheProgramWithZero) {
  static std::atomic<int> written{0};
  EXPECT_EXIT(
      {
        Actions actions;
        actions.batch_query = [](Controls& c) {
          for (int i = 1;; ++i) {  // never ends by itself
            c.list_insert_row(kResultList, "GB " + std::to_string(i));
            written = i;
            pause(1);
          }
        };
        start_up(actions, [] {
          HWND main = FindWindowW(Win32Window::kClassName, nullptr);
          EnumChildWindows(
              main,
              [](HWND child, LPARAM) -> BOOL {
                if (text_of(child) == "开始") PostMessageW(child, BM_CLICK, 0, 0);
                return TRUE;
              },
              0);
          SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
            if (written > 20)
              PostMessageW(FindWindowW(Win32Window::kClassName, nullptr), WM_CLOSE, 0, 0);
          });
        });
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(Win32Program, VersionAndHelpPrintWithoutOpeningTheWindow) {
  const test::ProcessResult version = test::run_process({STDLOOKUP_PROGRAM, "--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("stdlookup ", 0), 0u) << version.out;
  const test::ProcessResult help = test::run_process({STDLOOKUP_PROGRAM, "--help"});
  EXPECT_EQ(help.out.rfind("Usage: stdlookup ", 0), 0u) << help.out;
}

}  // namespace
}  // namespace stdlookup
