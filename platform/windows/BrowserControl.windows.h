#pragma once
// The system's web-browser control in a window of ours, through the smallest
// in-place OLE container it accepts: the control draws in the parent's client
// area, takes its keys first and asks us before every navigation.
#include <windows.h>
#include <exdisp.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <string_view>

namespace os::win {

// OLE on the calling thread for the object's life. A thread whose COM the
// host made multithreaded keeps it so: OLE is then not available here.
class TOleThread {
public:
  TOleThread();
  ~TOleThread();
  TOleThread(const TOleThread&) = delete;
  TOleThread& operator=(const TOleThread&) = delete;

  bool Available() const noexcept { return SUCCEEDED(FResult); }

private:
  HRESULT FResult;
};

// One counted reference to a COM object.
template <typename Interface>
class TComRef {
public:
  TComRef() noexcept = default;
  ~TComRef() { Reset(); }
  TComRef(const TComRef&) = delete;
  TComRef& operator=(const TComRef&) = delete;

  Interface* Get() const noexcept { return FObject; }
  Interface* operator->() const noexcept { return FObject; }
  explicit operator bool() const noexcept { return FObject != nullptr; }
  // Where a call that hands out a reference puts it.
  void** Out() noexcept {
    Reset();
    return reinterpret_cast<void**>(&FObject);
  }
  void Reset() noexcept {
    if (FObject != nullptr) FObject->Release();
    FObject = nullptr;
  }

private:
  Interface* FObject = nullptr;
};

// Whether an address leaves the page for the desktop's default browser: web
// and mail addresses do; the page's own files and anchors stay in the window.
bool OpensInDesktopBrowser(std::u16string_view Url);

// Opens a file or an address as the desktop does on a double click; raises an
// Exception with the system's reason when nothing could open it.
void OpenWithDesktop(std::u16string_view Target);

class TBrowserSite;

// The control embedded in Parent's client area and in-place active. Navigating
// is asked before each navigation, on this thread; false cancels it. The
// destructor leaves no reference to the control and no window of it behind.
class TBrowserControl {
public:
  using TNavigating = std::function<bool(std::u16string_view Url)>;

  // Raises an Exception naming what failed; needs a TOleThread that is Available.
  TBrowserControl(HWND Parent, TNavigating Navigating);
  ~TBrowserControl();
  TBrowserControl(const TBrowserControl&) = delete;
  TBrowserControl& operator=(const TBrowserControl&) = delete;

  // A local file's path or an address.
  void Navigate(std::u16string_view Target);
  void Fit(int Width, int Height) noexcept;
  // The control's own keys (scrolling, Tab between links, copying); true when
  // it took the message.
  bool TakesKey(MSG& Message) noexcept;

private:
  void Embed(HWND Parent);
  void ListenToEvents();
  void TearDown() noexcept;

  TBrowserSite* FSite = nullptr;  // one reference, ours
  TComRef<IOleObject> FObject;
  TComRef<IWebBrowser2> FBrowser;
  TComRef<IConnectionPoint> FEvents;
  DWORD FEventsCookie = 0;
};

}  // namespace os::win
