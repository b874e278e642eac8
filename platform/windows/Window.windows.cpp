#include "platform/windows/Window.windows.h"

#include <string>

#include "platform/Exception.h"
#include "platform/Os.h"
#include "platform/Text.h"
#include "platform/windows/Module.windows.h"

namespace os::win {

namespace {

// Windows 7 and some MinGW headers lack it: looked up in user32 at run time.
using TGetDpiForWindow = UINT(WINAPI*)(HWND);

TGetDpiForWindow FindGetDpiForWindow() noexcept {
  HMODULE User32 = ::GetModuleHandleW(L"user32.dll");
  if (User32 == nullptr) return nullptr;
  return reinterpret_cast<TGetDpiForWindow>(reinterpret_cast<void*>(::GetProcAddress(User32, "GetDpiForWindow")));
}

int ScreenDpi() noexcept {
  HDC Screen = ::GetDC(nullptr);
  if (Screen == nullptr) return TDpiScale::DesignDpi;
  const int Dpi = ::GetDeviceCaps(Screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, Screen);
  return Dpi;
}

constexpr DWORD FrameStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD FrameExStyle = WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME;

bool IsOpenDropDown(HWND Control) {
  wchar_t ClassName[16] = {};
  if (::GetClassNameW(Control, ClassName, 16) == 0 || ::lstrcmpiW(ClassName, L"ComboBox") != 0) return false;
  return ::SendMessageW(Control, CB_GETDROPPEDSTATE, 0, 0) != 0;
}

}  // namespace

TDpiScale TDpiScale::ForWindow(HWND Window) noexcept {
  static const TGetDpiForWindow GetDpiForWindow = FindGetDpiForWindow();
  if (GetDpiForWindow != nullptr && Window != nullptr) {
    const UINT Dpi = GetDpiForWindow(Window);
    if (Dpi > 0) return TDpiScale(static_cast<int>(Dpi));
  }
  return TDpiScale(ScreenDpi());
}

TFont CreateScaledFont(const wchar_t* Face, int HeightAt120, const TDpiScale& Scale) {
  // A negative height asks for the character height, not the cell's.
  TFont Font(::CreateFontW(-Scale(HeightAt120), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           Face));
  if (Font) return Font;
  NONCLIENTMETRICSW Metrics{};
  Metrics.cbSize = sizeof(Metrics);
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(Metrics), &Metrics, 0))
    return TFont(::CreateFontIndirectW(&Metrics.lfMessageFont));
  return TFont();
}

TIcon LoadOwnIcon(const wchar_t* Name, int Size) noexcept {
  return TIcon(static_cast<HICON>(::LoadImageW(OwnModule(), Name, IMAGE_ICON, Size, Size, LR_DEFAULTCOLOR)));
}

TWindow::~TWindow() {
  ReleaseOwner();
  if (FHandle != nullptr) ::DestroyWindow(FHandle);
  // Fails while another thread still shows a window of the class; it is then
  // left registered, which the next registration accepts.
  if (FClassName != nullptr) ::UnregisterClassW(FClassName, OwnModule());
}

void TWindow::RegisterWindowClass(const wchar_t* ClassName) {
  WNDCLASSEXW Class{};
  Class.cbSize = sizeof(Class);
  Class.lpfnWndProc = &TWindow::WindowProcedure;
  Class.hInstance = OwnModule();
  Class.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW, in its wide form
  Class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  Class.lpszClassName = ClassName;
  if (::RegisterClassExW(&Class) != 0) {
    FClassName = ClassName;
  } else if (::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    RaiseLastOsError(u"Cannot register the window class");
  }
}

void TWindow::CreateFrame(const wchar_t* ClassName, std::u16string_view Caption, int ClientWidthAt120,
                          int ClientHeightAt120) {
  RegisterWindowClass(ClassName);
  FOwner = ::GetActiveWindow();
  const std::wstring Title = ToWide(Caption);
  // Sized once the window knows its monitor's dpi.
  ::CreateWindowExW(FrameExStyle, ClassName, Title.c_str(), FrameStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, FOwner,
                    nullptr, OwnModule(), this);
  if (FHandle == nullptr) RaiseLastOsError(u"Cannot create the window");
  FScale = TDpiScale::ForWindow(FHandle);
  FFont = CreateScaledFont(L"Tahoma", 13, FScale);
  SetIcons();
  SizeAndCentre(FScale(ClientWidthAt120), FScale(ClientHeightAt120));
}

HWND TWindow::AddControl(const wchar_t* ClassName, DWORD Style, const TPlace& At120, int Id, std::u16string_view Text) {
  const std::wstring WideText = ToWide(Text);
  HWND Control = ::CreateWindowExW(0, ClassName, WideText.c_str(), WS_CHILD | WS_VISIBLE | Style, FScale(At120.Left),
                                   FScale(At120.Top), FScale(At120.Width), FScale(At120.Height), FHandle,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), OwnModule(), nullptr);
  if (Control == nullptr) RaiseLastOsError(u"Cannot create a control of the window");
  if (FFont) ::SendMessageW(Control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), FALSE);
  return Control;
}

void TWindow::SetIcons() {
  FBigIcon = LoadOwnIcon(ProjectIconName, ::GetSystemMetrics(SM_CXICON));
  FSmallIcon = LoadOwnIcon(ProjectIconName, ::GetSystemMetrics(SM_CXSMICON));
  ::SendMessageW(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FBigIcon.Get()));
  ::SendMessageW(FHandle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(FSmallIcon.Get()));
}

// Centred on the work area of the monitor the owner is on (the nearest one
// to the window when there is no owner).
void TWindow::SizeAndCentre(int ClientWidth, int ClientHeight) {
  RECT Frame{0, 0, ClientWidth, ClientHeight};
  ::AdjustWindowRectEx(&Frame, FrameStyle, FALSE, FrameExStyle);
  const int Width = Frame.right - Frame.left;
  const int Height = Frame.bottom - Frame.top;
  MONITORINFO Monitor{};
  Monitor.cbSize = sizeof(Monitor);
  RECT Area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (::GetMonitorInfoW(::MonitorFromWindow(FOwner != nullptr ? FOwner : FHandle, MONITOR_DEFAULTTONEAREST), &Monitor))
    Area = Monitor.rcWork;
  const int Left = Area.left + (Area.right - Area.left - Width) / 2;
  const int Top = Area.top + (Area.bottom - Area.top - Height) / 2;
  ::SetWindowPos(FHandle, nullptr, Left, Top > Area.top ? Top : Area.top, Width, Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWindow::RunModal() {
  if (FOwner != nullptr && ::IsWindowEnabled(FOwner)) {
    ::EnableWindow(FOwner, FALSE);
    FOwnerDisabled = true;
  }
  ::ShowWindow(FHandle, SW_SHOWNORMAL);
  ::UpdateWindow(FHandle);
  MSG Message{};
  while (!FClosed) {
    const BOOL Got = ::GetMessageW(&Message, nullptr, 0, 0);
    if (Got == -1) break;
    if (Got == 0) {
      ::PostQuitMessage(static_cast<int>(Message.wParam));
      break;
    }
    if (ClosesOnEscape(Message)) {
      Close();
      continue;
    }
    if (ControlTakesMessage(Message) || ::IsDialogMessageW(FHandle, &Message)) continue;
    ::TranslateMessage(&Message);
    ::DispatchMessageW(&Message);
  }
  Close();
  if (FOwner != nullptr) ::SetActiveWindow(FOwner);
  if (FFailure) std::rethrow_exception(FFailure);
}

// The text box takes every key, Escape too: the window closes on it before the
// box sees it, unless a drop-down list is open, which Escape closes first.
bool TWindow::ClosesOnEscape(const MSG& Message) const {
  if (Message.message != WM_KEYDOWN || Message.wParam != VK_ESCAPE) return false;
  if (Message.hwnd != FHandle && !::IsChild(FHandle, Message.hwnd)) return false;
  return !IsOpenDropDown(Message.hwnd);
}

// The owner is enabled before the window goes, so that Windows hands the
// activation back to it and not to another program.
void TWindow::Close() noexcept {
  ReleaseOwner();
  if (FHandle != nullptr) ::DestroyWindow(FHandle);
}

void TWindow::ReleaseOwner() noexcept {
  if (FOwnerDisabled) ::EnableWindow(FOwner, TRUE);
  FOwnerDisabled = false;
}

LRESULT TWindow::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
  return ::DefWindowProcW(FHandle, Message, WParam, LParam);
}

LRESULT TWindow::AnswerMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_CLOSE: Close(); return 0;
    case WM_NCDESTROY: {
      HWND Window = FHandle;
      ::SetWindowLongPtrW(Window, GWLP_USERDATA, 0);
      FHandle = nullptr;
      FClosed = true;
      return ::DefWindowProcW(Window, Message, WParam, LParam);
    }
    default: return HandleMessage(Message, WParam, LParam);
  }
}

LRESULT CALLBACK TWindow::WindowProcedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message == WM_NCCREATE) {
    auto* Self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams);
    Self->FHandle = Window;
    ::SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Self));
  }
  auto* Self = reinterpret_cast<TWindow*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (Self == nullptr) return ::DefWindowProcW(Window, Message, WParam, LParam);
  try {
    return Self->AnswerMessage(Message, WParam, LParam);
  } catch (...) {
    if (!Self->FFailure) Self->FFailure = std::current_exception();
    Self->FClosed = true;
    // Wakes the modal loop, which then closes the window and raises the failure.
    ::PostMessageW(Window, WM_NULL, 0, 0);
    return ::DefWindowProcW(Window, Message, WParam, LParam);
  }
}

}  // namespace os::win
