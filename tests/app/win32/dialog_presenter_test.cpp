// The Windows program's dialog presenter: the system's own message boxes.
#include "app/win32/dialog_presenter.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "runtime/gbk.h"

namespace stdlookup {
namespace {

using namespace literals;

// Finds the message box titled `title`, reads its text and presses `button`.
std::wstring answer_message_box(const std::wstring& title, int button) {
  for (int i = 0; i < 500; ++i) {
    if (HWND box = FindWindowW(L"#32770", title.c_str())) {
      wchar_t text[256] = {};
      GetDlgItemTextW(box, 0xFFFF, text, 256);
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
      return text;
    }
    Sleep(20);
  }
  return L"(no box)";
}

TEST(WindowsDialogs, MessageBoxShowsGbkTextAndReturnsTheButton) {
  Presenter* previous = set_presenter(&windows_dialog_presenter());
  std::wstring seen;
  std::thread answer([&] { seen = answer_message_box(L"信息：", IDNO); });
  const int pressed = message_box("该标准作废"_gbk, kMbYesNo);
  answer.join();
  set_presenter(previous);
  EXPECT_EQ(seen, L"该标准作废");
  EXPECT_EQ(pressed, 6);  // No
}

}  // namespace
}  // namespace stdlookup
