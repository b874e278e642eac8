#pragma once
// What the add-in's own windows (the log viewer, the manual) share, in plain
// Win32: sizes designed at 120 dpi and scaled to the monitor's, the project's
// icon, controls in one font, and a modal run on the host's own thread.
#include <windows.h>

#include <exception>
#include <string_view>

namespace os::win {

// Lengths designed at 120 dpi in the pixels of the monitor a window is on.
class TDpiScale {
public:
  explicit TDpiScale(int Dpi) noexcept : FDpi(Dpi > 0 ? Dpi : DesignDpi) {}
  // GetDpiForWindow where Windows has it (10 1607 on), else the screen's dpi.
  static TDpiScale ForWindow(HWND Window) noexcept;

  int Dpi() const noexcept { return FDpi; }
  int operator()(int At120) const noexcept { return ::MulDiv(At120, FDpi, DesignDpi); }

  static constexpr int DesignDpi = 120;

private:
  int FDpi;
};

// Owns one GDI or USER handle and frees it with Free.
template <typename Handle, auto Free>
class TOwned {
public:
  TOwned() noexcept = default;
  explicit TOwned(Handle Value) noexcept : FValue(Value) {}
  ~TOwned() { Reset(); }
  TOwned(TOwned&& Other) noexcept : FValue(Other.Release()) {}
  TOwned& operator=(TOwned&& Other) noexcept {
    if (this != &Other) {
      Reset();
      FValue = Other.Release();
    }
    return *this;
  }

  Handle Get() const noexcept { return FValue; }
  explicit operator bool() const noexcept { return FValue != nullptr; }
  Handle Release() noexcept {
    Handle Value = FValue;
    FValue = nullptr;
    return Value;
  }
  void Reset() noexcept {
    if (FValue != nullptr) Free(FValue);
    FValue = nullptr;
  }

private:
  Handle FValue = nullptr;
};

inline void FreeIcon(HICON Icon) noexcept { ::DestroyIcon(Icon); }
inline void FreeFont(HFONT Font) noexcept { ::DeleteObject(Font); }
using TIcon = TOwned<HICON, &FreeIcon>;
using TFont = TOwned<HFONT, &FreeFont>;

// The font face at a character height designed at 120 dpi; the system's
// message font when the face cannot be made.
TFont CreateScaledFont(const wchar_t* Face, int HeightAt120, const TDpiScale& Scale);

// An icon group the add-in library carries (resources/CMakeLists.txt), at a
// square size in pixels; empty when the library carries none of that name.
TIcon LoadOwnIcon(const wchar_t* Name, int Size) noexcept;

// The project's icon, which every window of the add-in shows.
inline constexpr const wchar_t* ProjectIconName = L"APPICON";

// A control's place, designed at 120 dpi.
struct TPlace {
  int Left;
  int Top;
  int Width;
  int Height;
};

// A top-level window shown modally over the host's active window. A kind of
// window derives from it, makes its controls after CreateFrame and answers
// its messages in HandleMessage. Nothing thrown in a message handler crosses
// the system's code: the first failure closes the window and RunModal raises it.
class TWindow {
public:
  TWindow() = default;
  virtual ~TWindow();
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  HWND Handle() const noexcept { return FHandle; }

protected:
  // Registers the window class, creates the window with the client size
  // designed at 120 dpi, centred on the monitor of the host's active window
  // (the window's owner), with the project's icon. Raises an Exception naming
  // what failed.
  void CreateFrame(const wchar_t* ClassName, std::u16string_view Caption, int ClientWidthAt120, int ClientHeightAt120);
  // A child control in the window's font; Id comes back in WM_COMMAND.
  HWND AddControl(const wchar_t* ClassName, DWORD Style, const TPlace& At120, int Id, std::u16string_view Text = {});

  const TDpiScale& Scale() const noexcept { return FScale; }

  // Shows the window with the owner disabled and runs the thread's messages
  // until the window is closed (the close button, Escape, Close); the owner
  // is then enabled and active again. A WM_QUIT ends the run and is posted
  // again for the host's own loop.
  void RunModal();
  void Close() noexcept;

  // The window's messages; DefWindowProc for anything not answered.
  virtual LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);
  // A message of the modal run before the window's own keyboard handling, for
  // a control that keeps keys of its own (a hosted browser scrolls with the
  // arrows and moves between links with Tab); true when it took the message.
  virtual bool ControlTakesMessage(MSG&) noexcept { return false; }

private:
  static LRESULT CALLBACK WindowProcedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
  LRESULT AnswerMessage(UINT Message, WPARAM WParam, LPARAM LParam);
  void RegisterWindowClass(const wchar_t* ClassName);
  void SetIcons();
  void SizeAndCentre(int ClientWidth, int ClientHeight);
  bool ClosesOnEscape(const MSG& Message) const;
  void ReleaseOwner() noexcept;

  HWND FHandle = nullptr;
  HWND FOwner = nullptr;
  bool FOwnerDisabled = false;
  bool FClosed = false;
  const wchar_t* FClassName = nullptr;
  TDpiScale FScale{TDpiScale::DesignDpi};
  TFont FFont;
  TIcon FBigIcon;
  TIcon FSmallIcon;
  std::exception_ptr FFailure;
};

}  // namespace os::win
