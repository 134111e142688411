#include "app/win32/win32_window.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <cassert>

#include "app/front_end.h"
#include "app/layout.h"
#include "app/win32/win32_controls.h"
#include "runtime/system.h"
#include "runtime/win32_text.h"

namespace stdlookup {
namespace {

constexpr int kFirstControlId = 100;  // below it: IDOK and IDCANCEL from the dialog keys
constexpr int kDefaultDpi = 96;

// DPI functions of Windows 10, looked up so that the program still starts on older systems.
template <typename Function>
Function user32_function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  void* address = user32 ? reinterpret_cast<void*>(GetProcAddress(user32, name)) : nullptr;
  return reinterpret_cast<Function>(address);
}

int system_dpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kDefaultDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDefaultDpi;
}

int dpi_of(HWND window) {
  using GetDpiForWindow = UINT(WINAPI*)(HWND);
  static const auto get_dpi = user32_function<GetDpiForWindow>("GetDpiForWindow");
  const UINT dpi = get_dpi ? get_dpi(window) : 0;
  return dpi > 0 ? static_cast<int>(dpi) : system_dpi();
}

// The window's outer size at `dpi`: the layout gives it frame included, as a form designer does.
SIZE outer_size(int dpi) {
  const ControlEntry& main = main_window_layout().front();
  return {MulDiv(main.width, dpi, kDefaultDpi), MulDiv(main.height, dpi, kDefaultDpi)};
}

// The system's GUI font (the message font) at the window's DPI.
HFONT gui_font(int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW font{};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    font = metrics.lfMessageFont;
    font.lfHeight = MulDiv(font.lfHeight, dpi, system_dpi());
  } else {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  }
  return CreateFontIndirectW(&font);
}

struct ControlKind {
  const wchar_t* class_name;
  DWORD style;
  DWORD ex_style;
};

ControlKind kind_of(const ControlEntry& entry) {
  switch (entry.control_class) {
    case ControlClass::edit_box:
      if (entry.multi_line) {
        return {WC_EDITW, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL,
                WS_EX_CLIENTEDGE};
      }
      return {WC_EDITW, ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlClass::group_box:
      // Transparent: the window paints the background inside the frame (a group box does not).
      return {WC_BUTTONW, BS_GROUPBOX, WS_EX_TRANSPARENT};
    case ControlClass::label:
      // Texts are shown, never read for "&" accelerators; a long note wraps from the top, a
      // caption stays on one line, centred in its height.
      return {WC_STATICW,
              SS_NOPREFIX |
                  (entry.word_wrap ? DWORD{SS_LEFT} : DWORD{SS_LEFTNOWORDWRAP | SS_CENTERIMAGE}),
              0};
    case ControlClass::button:
      return {WC_BUTTONW, BS_PUSHBUTTON | BS_MULTILINE, 0};
    case ControlClass::process_bar:
      return {PROGRESS_CLASSW, 0, 0};
    case ControlClass::list_view:
      return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE};
    case ControlClass::window:
    case ControlClass::common_dialog:
    case ControlClass::excel_app:
    case ControlClass::excel_workbooks:
      break;
  }
  return {nullptr, 0, 0};
}

bool register_window_class(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW window_class{};
  if (GetClassInfoExW(instance, Win32Window::kClassName, &window_class)) return true;
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  window_class.lpszClassName = Win32Window::kClassName;
  return RegisterClassExW(&window_class) != 0;
}

constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

}  // namespace

Win32Window::Win32Window(Actions actions) : actions_(std::move(actions)) {
  controls_ = std::make_unique<Win32Controls>(*this);
  if (!actions_.themed_drawing) actions_.themed_drawing = [this](int style) { apply_theme(style); };
  build();
  if (window_ != nullptr) handle_event(actions_, *controls_, kMainWindow);  // end of creation
}

Win32Window::~Win32Window() {
  if (window_ != nullptr) DestroyWindow(window_);
  if (font_ != nullptr) DeleteObject(font_);
  if (status_brush_ != nullptr) DeleteObject(status_brush_);
}

void Win32Window::build() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX common{sizeof common,
                              ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&common);
  if (!register_window_class(instance, &Win32Window::procedure)) return;

  const ControlEntry& main = main_window_layout().front();
  dpi_ = system_dpi();
  SIZE size = outer_size(dpi_);
  HWND window = CreateWindowExW(kWindowExStyle, Win32Window::kClassName,
                                win32::utf8_to_wide(main.caption).c_str(), kWindowStyle, main.left,
                                main.top, size.cx, size.cy, nullptr, nullptr, instance, this);
  if (window == nullptr) return;

  int id = kFirstControlId;
  for (const ControlEntry& entry : main_window_layout()) {
    ++id;
    const ControlKind kind = kind_of(entry);
    if (kind.class_name == nullptr) continue;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | kind.style;
    if (entry.flags & kControlVisible) style |= WS_VISIBLE;
    if (entry.flags & kControlDisabled) style |= WS_DISABLED;
    if (entry.flags & kControlFocus) style |= WS_TABSTOP;
    HWND control = CreateWindowExW(
        kind.ex_style, kind.class_name, win32::utf8_to_wide(entry.caption).c_str(), style, 0, 0, 0,
        0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (control == nullptr) {
      DestroyWindow(window);
      window_ = nullptr;
      return;
    }
    handles_.emplace(std::string(entry.name), control);
    if (entry.background && status_brush_ == nullptr) {
      status_brush_ = CreateSolidBrush(
          RGB(entry.background->red, entry.background->green, entry.background->blue));
    }
    if (entry.control_class == ControlClass::edit_box) {
      // No 32,767-character cap on what is typed or pasted: a long batch list stays whole.
      SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
    } else if (entry.control_class == ControlClass::process_bar) {
      SendMessageW(control, PBM_SETRANGE32, 0, 100);
    } else if (entry.control_class == ControlClass::list_view) {
      const DWORD extended = LVS_EX_GRIDLINES | LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER;
      SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
      SendMessageW(control, LVM_SETTEXTCOLOR, 0, RGB(0, 0, 0));
      SendMessageW(control, LVM_SETBKCOLOR, 0, RGB(255, 255, 255));
      SendMessageW(control, LVM_SETTEXTBKCOLOR, 0, RGB(255, 255, 255));
      int index = 0;
      for (const ListColumn& column : entry.columns) {
        std::wstring header = win32::utf8_to_wide(column.header);
        LVCOLUMNW item{};
        item.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        item.pszText = header.data();
        item.cx = column.width;
        item.iSubItem = index;
        SendMessageW(control, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index++),
                     reinterpret_cast<LPARAM>(&item));
      }
    }
  }
  // Frames below the controls they hold; they take no focus, so the tab order is unchanged.
  for (const ControlEntry& entry : main_window_layout()) {
    if (entry.control_class == ControlClass::group_box) {
      SetWindowPos(control(entry.name), HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  // Created at the system's DPI; the monitor's may differ (per-monitor awareness).
  const int window_dpi = dpi_of(window);
  if (window_dpi != dpi_) {
    dpi_ = window_dpi;
    size = outer_size(dpi_);
    SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  place_controls();
}

// Positions, column widths and the font at the window's DPI.
void Win32Window::place_controls() {
  if (font_ != nullptr) DeleteObject(font_);
  font_ = gui_font(dpi_);
  auto scaled = [this](int value) { return MulDiv(value, dpi_, kDefaultDpi); };
  for (const ControlEntry& entry : main_window_layout()) {
    HWND handle = control(entry.name);
    if (handle == nullptr) continue;
    int left = entry.left;
    int top = entry.top;
    for (const ControlEntry* parent = find_control(entry.parent);
         parent != nullptr && parent->control_class != ControlClass::window;
         parent = find_control(parent->parent)) {
      left += parent->left;
      top += parent->top;
    }
    SetWindowPos(handle, nullptr, scaled(left), scaled(top), scaled(entry.width),
                 scaled(entry.height), SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    int index = 0;
    for (const ListColumn& column : entry.columns) {
      SendMessageW(handle, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(index++), scaled(column.width));
    }
  }
  InvalidateRect(window_, nullptr, TRUE);
}

HWND Win32Window::control(std::string_view name) const {
  assert(is_control_name(name) && "not a control of the window");
  auto it = handles_.find(name);
  return it == handles_.end() ? nullptr : it->second;
}

void Win32Window::click(std::string_view name) {
  // A close that waited for the action comes through the queue and ends the message loop.
  click_control(actions_, *controls_, name, [this] {
    if (window_ != nullptr) PostMessageW(window_, WM_CLOSE, 0, 0);
  });
}

// Styles 1 to 3: the visual style of the system's theme (the manifest's common controls);
// any other: the classic look.
void Win32Window::apply_theme(int style) {
  const bool on = style >= 1 && style <= 3;
  for (const auto& entry : handles_) {
    SetWindowTheme(entry.second, on ? nullptr : L"", on ? nullptr : L"");
  }
}

int Win32Window::run_message_loop() {
  MSG message{};
  int result;
  while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) dispatch(message);
  return result < 0 ? -1 : static_cast<int>(message.wParam);
}

void Win32Window::dispatch(MSG& message) {
  if (window_ != nullptr && IsDialogMessageW(window_, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

LRESULT CALLBACK Win32Window::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || self->window_ != window) return DefWindowProcW(window, message, w, l);
  return self->handle_message(message, w, l);
}

LRESULT Win32Window::handle_message(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case Win32Controls::kRunMessage:
      (*reinterpret_cast<const std::function<void()>*>(l))();
      return 0;
    case WM_COMMAND: {
      const int id = LOWORD(w);
      if (HIWORD(w) != BN_CLICKED) break;
      if (id == IDOK) {
        // Enter: in an edit box, the button it runs; on a focused button, that button.
        HWND focus = GetFocus();
        for (const auto& [name, handle] : handles_) {
          if (handle != focus) continue;
          if (!enter_clicks(name).empty()) {
            click(enter_clicks(name));
          } else if (find_control(name)->control_class == ControlClass::button) {
            click(name);
          }
          break;
        }
        return 0;
      }
      const auto index = static_cast<std::size_t>(id - kFirstControlId - 1);
      if (id > kFirstControlId && index < main_window_layout().size()) {
        const ControlEntry& entry = main_window_layout()[index];
        if (entry.control_class == ControlClass::button) click(entry.name);
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(l) == control(kStatusLabel) && status_brush_ != nullptr) {
        LOGBRUSH brush{};
        GetObjectW(status_brush_, sizeof brush, &brush);
        SetBkColor(reinterpret_cast<HDC>(w), brush.lbColor);
        return reinterpret_cast<LRESULT>(status_brush_);
      }
      break;
    case WM_SETCURSOR:
      if (BusyLoop::busy() && LOWORD(l) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_GETMINMAXINFO: {
      // Smaller, controls would vanish.
      const SIZE size = outer_size(dpi_);
      reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = {size.cx, size.cy};
      return 0;
    }
    case WM_DPICHANGED: {
      dpi_ = HIWORD(w);
      const RECT* suggested = reinterpret_cast<const RECT*>(l);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      place_controls();
      return 0;
    }
    case WM_CLOSE:
      if (!close_requested()) return 0;  // after the action in progress
      DestroyWindow(window_);
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY: {
      HWND window = window_;
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      handles_.clear();
      return DefWindowProcW(window, message, w, l);
    }
    default:
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}

}  // namespace stdlookup
