#pragma once
// The window tests' side of a real window on the display: the test's main
// thread opens the window as the host would (the call blocks while it is
// open), and a driver thread finds it by its caption and works it through
// the Win32 API, as a user's clicks and keys would.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace windowtest {

// Why window tests cannot run here, or empty when they can: they need a
// display (under Wine an X display: wine-run keeps DISPLAY only for programs
// run with ORVEX_WINDOW_TEST=1).
std::string MissingDisplayReason();

struct DriveOutcome {
  bool Raised = false;     // Open raised an exception
  std::u16string Message;  // its message
  bool Found = false;      // the driver thread found the window
};

// Runs Open on this thread and, once a visible top-level window of this
// process with the caption shows, Drive on another thread. Drive's end closes
// the window as its close button does (WM_SYSCOMMAND SC_CLOSE) unless Drive
// closed it itself; a window that does not show within the wait ends the
// search.
DriveOutcome DriveWindow(const std::wstring& Caption, const std::function<void()>& Open,
                         const std::function<void(HWND)>& Drive,
                         std::chrono::milliseconds Wait = std::chrono::seconds(15));

// Polls until Condition holds or the time is up; true when it held.
bool WaitUntil(const std::function<bool()>& Condition, std::chrono::milliseconds Limit);

// The children of a window of a class, in the order they were made.
std::vector<HWND> ChildrenOfClass(HWND Parent, const wchar_t* ClassName);

std::wstring TextOf(HWND Control);
std::vector<std::wstring> ComboItems(HWND Combo);
std::wstring ComboSelection(HWND Combo);  // empty when nothing is selected
// The selection of an edit box as EM_GETSEL reports it.
std::pair<DWORD, DWORD> EditSelection(HWND Edit);
// A control's rectangle in its parent's client coordinates.
RECT PlaceInParent(HWND Control);

// The screen's dpi, and a length designed at 120 dpi in its pixels.
int ScreenDpi();
int AtDpi(int At120, int Dpi);

// The user's pick in a drop-down list: the entry selected and the parent told
// so (CBN_SELCHANGE), as the list does itself.
void PickComboEntry(HWND Combo, int Index);

// The window as the screen shows it, saved as PNG into the build's screenshots
// folder (ORVEX_SCREENSHOT_DIR) under the name given; returns the file.
std::filesystem::path SaveScreenshot(HWND Window, const std::string& Name);

}  // namespace windowtest
