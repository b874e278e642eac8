#include "WindowTestSupport.windows.h"

#include <atomic>
#include <thread>

#include "CommonSupport.h"
#include "PngWriter.h"
#include "platform/Exception.h"

namespace windowtest {

namespace {

bool RunsUnderWine() {
  HMODULE Ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return Ntdll != nullptr && ::GetProcAddress(Ntdll, "wine_get_version") != nullptr;
}

std::wstring Environment(const wchar_t* Name) {
  wchar_t Value[256] = {};
  const DWORD Length = ::GetEnvironmentVariableW(Name, Value, 256);
  return Length > 0 && Length < 256 ? std::wstring(Value, Length) : std::wstring();
}

struct FoundWindow {
  const std::wstring* Caption;
  HWND Window;
};

BOOL CALLBACK MatchCaption(HWND Window, LPARAM Search) {
  auto& Found = *reinterpret_cast<FoundWindow*>(Search);
  DWORD Process = 0;
  ::GetWindowThreadProcessId(Window, &Process);
  if (Process != ::GetCurrentProcessId() || !::IsWindowVisible(Window) || TextOf(Window) != *Found.Caption) return TRUE;
  Found.Window = Window;
  return FALSE;
}

// FindWindowW would also find a window of another program with the caption.
HWND FindOwnWindow(const std::wstring& Caption) {
  FoundWindow Found{&Caption, nullptr};
  ::EnumWindows(&MatchCaption, reinterpret_cast<LPARAM>(&Found));
  return Found.Window;
}

}  // namespace

std::string MissingDisplayReason() {
  if (RunsUnderWine() && Environment(L"DISPLAY").empty())
    return "window tests need a display: DISPLAY is empty (wine-run keeps it only with ORVEX_WINDOW_TEST=1; "
           "scripts/test starts Xvfb)";
  HWND Probe = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (Probe == nullptr) return "window tests need a display: no window can be created here";
  ::DestroyWindow(Probe);
  return {};
}

bool WaitUntil(const std::function<bool()>& Condition, std::chrono::milliseconds Limit) {
  const auto End = std::chrono::steady_clock::now() + Limit;
  for (;;) {
    if (Condition()) return true;
    if (std::chrono::steady_clock::now() >= End) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

DriveOutcome DriveWindow(const std::wstring& Caption, const std::function<void()>& Open,
                         const std::function<void(HWND)>& Drive, std::chrono::milliseconds Wait) {
  DriveOutcome Outcome;
  std::atomic<bool> Returned{false};
  std::thread Driver([&] {
    HWND Window = nullptr;
    WaitUntil([&] { return Returned || (Window = FindOwnWindow(Caption)) != nullptr; }, Wait);
    if (Window == nullptr) return;
    Outcome.Found = true;
    Drive(Window);
    if (::IsWindow(Window)) ::PostMessageW(Window, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  try {
    Open();
  } catch (const Exception& Failure) {
    Outcome.Raised = true;
    Outcome.Message = Failure.Message();
  } catch (...) {
    Outcome.Raised = true;
    Outcome.Message = u"(not an Exception)";
  }
  Returned = true;
  Driver.join();
  return Outcome;
}

int ScreenDpi() {
  HDC Screen = ::GetDC(nullptr);
  const int Dpi = ::GetDeviceCaps(Screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, Screen);
  return Dpi;
}

int AtDpi(int At120, int Dpi) { return ::MulDiv(At120, Dpi, 120); }

std::vector<HWND> ChildrenOfClass(HWND Parent, const wchar_t* ClassName) {
  std::vector<HWND> Children;
  for (HWND Child = ::FindWindowExW(Parent, nullptr, ClassName, nullptr); Child != nullptr;
       Child = ::FindWindowExW(Parent, Child, ClassName, nullptr))
    Children.push_back(Child);
  return Children;
}

std::wstring TextOf(HWND Control) {
  const auto Length = ::SendMessageW(Control, WM_GETTEXTLENGTH, 0, 0);
  std::wstring Text(static_cast<std::size_t>(Length) + 1, L'\0');
  const auto Copied =
      ::SendMessageW(Control, WM_GETTEXT, static_cast<WPARAM>(Text.size()), reinterpret_cast<LPARAM>(Text.data()));
  Text.resize(static_cast<std::size_t>(Copied));
  return Text;
}

std::vector<std::wstring> ComboItems(HWND Combo) {
  std::vector<std::wstring> Items;
  const auto Count = ::SendMessageW(Combo, CB_GETCOUNT, 0, 0);
  for (WPARAM Index = 0; static_cast<LRESULT>(Index) < Count; ++Index) {
    std::wstring Item(static_cast<std::size_t>(::SendMessageW(Combo, CB_GETLBTEXTLEN, Index, 0)) + 1, L'\0');
    const auto Copied = ::SendMessageW(Combo, CB_GETLBTEXT, Index, reinterpret_cast<LPARAM>(Item.data()));
    Item.resize(Copied > 0 ? static_cast<std::size_t>(Copied) : 0);
    Items.push_back(Item);
  }
  return Items;
}

std::wstring ComboSelection(HWND Combo) {
  const auto Index = ::SendMessageW(Combo, CB_GETCURSEL, 0, 0);
  if (Index == CB_ERR) return {};
  return ComboItems(Combo).at(static_cast<std::size_t>(Index));
}

std::pair<DWORD, DWORD> EditSelection(HWND Edit) {
  DWORD Start = 0;
  DWORD End = 0;
  ::SendMessageW(Edit, EM_GETSEL, reinterpret_cast<WPARAM>(&Start), reinterpret_cast<LPARAM>(&End));
  return {Start, End};
}

RECT PlaceInParent(HWND Control) {
  RECT Place{};
  ::GetWindowRect(Control, &Place);
  ::MapWindowPoints(nullptr, ::GetParent(Control), reinterpret_cast<POINT*>(&Place), 2);
  return Place;
}

void PickComboEntry(HWND Combo, int Index) {
  ::SendMessageW(Combo, CB_SETCURSEL, static_cast<WPARAM>(Index), 0);
  ::SendMessageW(::GetParent(Combo), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(Combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Combo));
}

std::filesystem::path SaveScreenshot(HWND Window, const std::string& Name) {
  ::RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  RECT Frame{};
  ::GetWindowRect(Window, &Frame);
  testsupport::RgbImage Image;
  Image.Width = Frame.right - Frame.left;
  Image.Height = Frame.bottom - Frame.top;
  HDC Screen = ::GetDC(nullptr);
  HDC Memory = ::CreateCompatibleDC(Screen);
  HBITMAP Bitmap = ::CreateCompatibleBitmap(Screen, Image.Width, Image.Height);
  HGDIOBJ Previous = ::SelectObject(Memory, Bitmap);
  ::BitBlt(Memory, 0, 0, Image.Width, Image.Height, Screen, Frame.left, Frame.top, SRCCOPY);
  ::SelectObject(Memory, Previous);
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof(Info.bmiHeader);
  Info.bmiHeader.biWidth = Image.Width;
  Info.bmiHeader.biHeight = -Image.Height;  // top-down
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = 32;
  Info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint8_t> Bgrx(static_cast<std::size_t>(Image.Width) * static_cast<std::size_t>(Image.Height) * 4);
  ::GetDIBits(Memory, Bitmap, 0, static_cast<UINT>(Image.Height), Bgrx.data(), &Info, DIB_RGB_COLORS);
  ::DeleteObject(Bitmap);
  ::DeleteDC(Memory);
  ::ReleaseDC(nullptr, Screen);
  Image.Rgb.reserve(Bgrx.size() / 4 * 3);
  for (std::size_t At = 0; At < Bgrx.size(); At += 4) {
    Image.Rgb.push_back(Bgrx[At + 2]);
    Image.Rgb.push_back(Bgrx[At + 1]);
    Image.Rgb.push_back(Bgrx[At]);
  }
  const auto File = testsupport::BuildMachinePath(ORVEX_SCREENSHOT_DIR) / (Name + ".png");
  testsupport::WritePng(File, Image);
  return File;
}

}  // namespace windowtest
