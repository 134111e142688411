// The Win32 window read back from its real window handles: geometry, classes and styles, the
// dialog keys, the hand-over of the batch thread's writes, and how the program starts and ends.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

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

namespace stdlookup {
namespace {

using test::class_of;
using test::g;
using test::text_of;

LONG_PTR style_of(HWND window) {
  return GetWindowLongPtrW(window, GWL_STYLE);
}

class Win32WindowTest : public ::testing::Test {
 protected:
  test::RecordingActions recorded;
  test::Win32Driver driver{recorded.actions()};
  Win32Window& window = driver.window();
  int scaled(int value) const { return MulDiv(value, window.dpi(), 96); }
};

// Where and how each control sits is a case of every front end (window_cases_test.cpp); here
// what is Win32's own: the window's frame around the client area, captions as shown, one font.
TEST_F(Win32WindowTest, TheWindowIsTheLayoutsOuterSizeAndEveryControlSpeaksItsFont) {
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
    if (class_of(control) != L"Edit") {
      EXPECT_EQ(text_of(control), expected.caption);
    }
    EXPECT_EQ(SendMessageW(control, WM_GETFONT, 0, 0),
              SendMessageW(window.control(kQueryButton), WM_GETFONT, 0, 0));
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

TEST_F(Win32WindowTest, APastedListLongerThanAnEditBoxTakesArrivesWholeAndTheBarCountsPast16Bits) {
  Controls& controls = window.controls();
  controls.set_edit_text(kBatchInput, g("GB 1\r\nGB 2"));
  // At the caret, which a written text leaves at its start.
  std::wstring pasted;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    pasted += L"GB 2760-2014\r\n";
    expected += "GB 2760-2014\r\n";
  }
  SendMessageW(window.control(kBatchInput), EM_REPLACESEL, FALSE,
               reinterpret_cast<LPARAM>(pasted.c_str()));
  EXPECT_EQ(controls.edit_text(kBatchInput), expected + g("GB 1\r\nGB 2"));
  controls.set_progress_maximum(kProgressBar, 40000);  // the 32-bit range messages
  EXPECT_EQ(SendMessageW(window.control(kProgressBar), PBM_GETRANGE, FALSE, 0), 40000);
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

}  // namespace
}  // namespace stdlookup
