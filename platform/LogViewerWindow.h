#pragma once
// The log viewer's window, one view per toolkit behind this interface: the
// plain Win32 API on Windows, GTK 3 loaded at run time elsewhere. What the
// window does (which files, which text, when to reload) lives in
// logging/ufmLog and knows no toolkit; the view only shows and reports.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// <windows.h> (through commdlg.h) makes ReplaceText a macro for ReplaceTextA
// or ReplaceTextW; the member below keeps its own name wherever windows.h came
// first.
#ifdef ReplaceText
#undef ReplaceText
#endif

namespace os {

// The controls as the window's logic reads and changes them. Text positions
// count UTF-16 code units, whatever the toolkit counts.
class ILogViewerControls {
public:
  virtual ~ILogViewerControls() = default;

  // The day-file list. SetFileNames replaces its entries by these, in this
  // order (the logic sorts them) and leaves nothing selected.
  virtual void SetFileNames(const std::vector<std::u16string>& Names) = 0;
  // Selects the entry of that name; an empty name selects nothing.
  virtual void SelectFileName(std::u16string_view Name) = 0;
  // The name the list shows, empty when nothing is selected.
  virtual std::u16string SelectedFileName() const = 0;

  // The position chosen in the encoding list (0 "UTF-8", 1 "ANSI", 2 "OEM"),
  // -1 when none is.
  virtual int EncodingIndex() const = 0;

  // Replaces the whole text without redrawing in between; the caret goes to
  // the start and the text shows from its beginning.
  virtual void ReplaceText(std::u16string_view Text) = 0;
  virtual std::size_t CaretPosition() const = 0;
  // Puts the caret there (clamped to the text), scrolls it into view and gives
  // the text the input focus.
  virtual void RestoreCaret(std::size_t Position) = 0;

  // An error message box over the window; returns when the user closed it.
  virtual void ShowError(std::u16string_view Message) = 0;
  // Opens the folder in the desktop's file manager; its answer is ignored.
  virtual void ExploreFolder(const std::u16string& Folder) = 0;
};

// The window's events, handled by the logic and named after the control that
// raises them (cbbLogFiles the day-file list, btnOpenDir the folder button,
// tmrCheckFile the timer). Every handler gets the controls it may read and
// change; a handler does not raise (the logic turns its failures into
// ShowError).
class ILogViewerHandlers {
public:
  virtual ~ILogViewerHandlers() = default;
  // Once, after the controls exist and before the window is shown.
  virtual void FormCreate(ILogViewerControls& Controls) = 0;
  // The user picked another day file or another encoding (both lists).
  virtual void cbbLogFilesChange(ILogViewerControls& Controls) = 0;
  // The user is opening the day-file list.
  virtual void cbbLogFilesDropDown(ILogViewerControls& Controls) = 0;
  virtual void btnOpenDirClick(ILogViewerControls& Controls) = 0;
  // Every 1000 ms while the window is open.
  virtual void tmrCheckFileTimer(ILogViewerControls& Controls) = 0;
};

// Both views hand the logic one event at a time: what the logic changes from a
// handler (GTK reports a program's own changes to a list, Windows does not),
// and the timer ticks that a handler's message box lets through its own loop,
// reach no other handler instead of stacking one box on each second.
class TOneEventAtATime {
public:
  // Runs Call unless another call runs; then Call is dropped.
  template <typename TCall>
  void Run(TCall&& Call) {
    if (FRunning) return;
    FRunning = true;
    struct TReset {
      bool& Flag;
      ~TReset() { Flag = false; }
    } Reset{FRunning};
    Call();
  }

private:
  bool FRunning = false;
};

// Shows the window modally on the calling thread and returns when the user has
// closed it. Raises an Exception with a message for the user when no window can
// be shown at all (no display, no toolkit); never aborts the process.
void ShowLogViewerWindow(ILogViewerHandlers& Handlers);

}  // namespace os
