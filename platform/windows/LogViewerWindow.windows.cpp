// The log viewer's view in plain Win32: a panel of two drop-down lists and a
// folder button over a read-only text box, a one-second timer, and the
// handlers of the window's logic behind every event.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "platform/LogViewerWindow.h"
#include "platform/Os.h"
#include "platform/Text.h"
#include "platform/windows/Window.windows.h"

namespace os {

namespace {

enum ControlId : int { FileListId = 101, FolderButtonId, EncodingListId, TextBoxId };
constexpr UINT_PTR CheckFileTimerId = 1;
constexpr UINT CheckFileIntervalMs = 1000;

// Designed at 120 dpi.
constexpr int ClientWidth = 884;
constexpr int ClientHeight = 550;
constexpr int PanelHeight = 33;
constexpr int DropDownListHeight = 300;
constexpr int FolderIconSize = 20;

// The edit box's default limit would cut a day file of tens of megabytes.
constexpr WPARAM TextLimit = 0x7FFFFFFE;

// Edit boxes break lines only at CR LF: a lone LF gets a CR in front. The
// positions of the CRs added are kept, so that positions the logic reads and
// sets still count the units of the text it gave.
class TLineEnds {
public:
  std::wstring ToBoxText(std::u16string_view Text) {
    FAddedAt.clear();
    std::u16string Box;
    Box.reserve(Text.size());
    for (std::size_t At = 0; At < Text.size(); ++At) {
      if (Text[At] == u'\n' && (At == 0 || Text[At - 1] != u'\r')) {
        FAddedAt.push_back(Box.size());
        Box.push_back(u'\r');
      }
      Box.push_back(Text[At]);
    }
    return ToWide(Box);
  }

  std::size_t ToBoxPosition(std::size_t Position) const {
    std::size_t Box = Position;
    for (std::size_t Added : FAddedAt)
      if (Added < Box) ++Box;
    return Box;
  }

  std::size_t FromBoxPosition(std::size_t Box) const {
    const auto Before = std::lower_bound(FAddedAt.begin(), FAddedAt.end(), Box) - FAddedAt.begin();
    return Box - static_cast<std::size_t>(Before);
  }

private:
  std::vector<std::size_t> FAddedAt;  // in the box's text, ascending
};

std::u16string WindowText(HWND Window) {
  const auto Length = ::GetWindowTextLengthW(Window);
  if (Length <= 0) return {};
  std::wstring Text(static_cast<std::size_t>(Length) + 1, L'\0');
  const int Copied = ::GetWindowTextW(Window, Text.data(), Length + 1);
  Text.resize(Copied > 0 ? static_cast<std::size_t>(Copied) : 0);
  return FromWide(Text);
}

class TLogViewerWindow final : public win::TWindow, public ILogViewerControls {
public:
  explicit TLogViewerWindow(ILogViewerHandlers& Handlers) : FHandlers(Handlers) {}

  void Show() {
    CreateFrame(L"OrvexLogViewerWindow", u"Просмотр лога", ClientWidth, ClientHeight);
    CreateControls();
    FHandlers.FormCreate(*this);
    if (::SetTimer(Handle(), CheckFileTimerId, CheckFileIntervalMs, nullptr) == 0)
      RaiseLastOsError(u"Cannot start the window's timer");
    RunModal();
  }

  void SetFileNames(const std::vector<std::u16string>& Names) override {
    ::SendMessageW(FFileList, CB_RESETCONTENT, 0, 0);
    for (const auto& Name : Names) {
      const std::wstring Item = ToWide(Name);
      ::SendMessageW(FFileList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Item.c_str()));
    }
  }

  void SelectFileName(std::u16string_view Name) override {
    LRESULT Index = CB_ERR;
    if (!Name.empty()) {
      const std::wstring Item = ToWide(Name);
      Index = ::SendMessageW(FFileList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(Item.c_str()));
    }
    ::SendMessageW(FFileList, CB_SETCURSEL, static_cast<WPARAM>(Index), 0);
  }

  std::u16string SelectedFileName() const override {
    const LRESULT Index = ::SendMessageW(FFileList, CB_GETCURSEL, 0, 0);
    if (Index == CB_ERR) return {};
    const LRESULT Length = ::SendMessageW(FFileList, CB_GETLBTEXTLEN, static_cast<WPARAM>(Index), 0);
    if (Length == CB_ERR) return {};
    std::wstring Item(static_cast<std::size_t>(Length) + 1, L'\0');
    const LRESULT Copied =
        ::SendMessageW(FFileList, CB_GETLBTEXT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(Item.data()));
    Item.resize(Copied > 0 ? static_cast<std::size_t>(Copied) : 0);
    return FromWide(Item);
  }

  int EncodingIndex() const override {
    const LRESULT Index = ::SendMessageW(FEncodingList, CB_GETCURSEL, 0, 0);
    return Index == CB_ERR ? -1 : static_cast<int>(Index);
  }

  void ReplaceText(std::u16string_view Text) override {
    const std::wstring BoxText = FLineEnds.ToBoxText(Text);
    ::SendMessageW(FTextBox, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(FTextBox, EM_SETLIMITTEXT, TextLimit, 0);
    ::SendMessageW(FTextBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(BoxText.c_str()));
    ::SendMessageW(FTextBox, EM_SETSEL, 0, 0);
    ::SendMessageW(FTextBox, EM_SCROLLCARET, 0, 0);
    ::SendMessageW(FTextBox, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(FTextBox, nullptr, TRUE);
  }

  std::size_t CaretPosition() const override {
    DWORD Start = 0;
    DWORD End = 0;
    ::SendMessageW(FTextBox, EM_GETSEL, reinterpret_cast<WPARAM>(&Start), reinterpret_cast<LPARAM>(&End));
    return FLineEnds.FromBoxPosition(End);
  }

  void RestoreCaret(std::size_t Position) override {
    const std::size_t Length = static_cast<std::size_t>(::GetWindowTextLengthW(FTextBox));
    const auto Box = static_cast<WPARAM>(std::min(FLineEnds.ToBoxPosition(Position), Length));
    ::SendMessageW(FTextBox, EM_SETSEL, Box, static_cast<LPARAM>(Box));
    ::SendMessageW(FTextBox, EM_SCROLLCARET, 0, 0);
    ::SetFocus(FTextBox);
  }

  void ShowError(std::u16string_view Message) override {
    const std::wstring Text = ToWide(Message);
    const std::wstring Caption = ToWide(WindowText(Handle()));
    ::MessageBoxW(Handle(), Text.c_str(), Caption.c_str(), MB_OK | MB_ICONERROR);
  }

  void ExploreFolder(const std::u16string& Folder) override {
    const std::wstring Path = ToWide(Folder);
    ::ShellExecuteW(Handle(), L"explore", Path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }

protected:
  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override {
    switch (Message) {
      case WM_COMMAND: OnCommand(LOWORD(WParam), HIWORD(WParam)); return 0;
      case WM_TIMER:
        if (WParam == CheckFileTimerId) Raise(&ILogViewerHandlers::tmrCheckFileTimer);
        return 0;
      case WM_SIZE: FitTextBox(LOWORD(LParam), HIWORD(LParam)); return 0;
      case WM_DESTROY: ::KillTimer(Handle(), CheckFileTimerId); return 0;
      default: return TWindow::HandleMessage(Message, WParam, LParam);
    }
  }

private:
  void CreateControls() {
    constexpr DWORD ListStyle = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
    FFileList = AddControl(L"ComboBox", ListStyle | CBS_SORT, {8, 6, 257, DropDownListHeight}, FileListId);
    FFolderButton = AddControl(L"Button", WS_TABSTOP | BS_PUSHBUTTON | BS_ICON, {268, 5, 23, 24}, FolderButtonId,
                               u"Открыть папку логов");
    FFolderIcon = win::LoadOwnIcon(L"FOLDERICON", Scale()(FolderIconSize));
    if (FFolderIcon)
      ::SendMessageW(FFolderButton, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(FFolderIcon.Get()));
    else
      ShowFolderButtonAsText();
    FEncodingList = AddControl(L"ComboBox", ListStyle, {305, 6, 80, DropDownListHeight}, EncodingListId);
    for (const wchar_t* Encoding : {L"UTF-8", L"ANSI", L"OEM"})
      ::SendMessageW(FEncodingList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Encoding));
    ::SendMessageW(FEncodingList, CB_SETCURSEL, 0, 0);
    FTextBox = AddControl(L"Edit",
                          WS_TABSTOP | WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                              ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
                          {0, PanelHeight, ClientWidth, ClientHeight - PanelHeight}, TextBoxId);
    ::SendMessageW(FTextBox, EM_SETLIMITTEXT, TextLimit, 0);
    RECT Client{};
    ::GetClientRect(Handle(), &Client);
    FitTextBox(Client.right, Client.bottom);
  }

  // Without its picture the button still says what it is.
  void ShowFolderButtonAsText() {
    ::SetWindowLongPtrW(FFolderButton, GWL_STYLE, ::GetWindowLongPtrW(FFolderButton, GWL_STYLE) & ~LONG_PTR{BS_ICON});
    ::SetWindowTextW(FFolderButton, L"...");
  }

  void FitTextBox(int Width, int Height) {
    if (FTextBox == nullptr) return;
    const int Top = Scale()(PanelHeight);
    ::MoveWindow(FTextBox, 0, Top, Width, std::max(Height - Top, 0), TRUE);
  }

  void OnCommand(int Id, int Code) {
    if (Code == CBN_SELCHANGE && (Id == FileListId || Id == EncodingListId))
      Raise(&ILogViewerHandlers::cbbLogFilesChange);
    else if (Code == CBN_DROPDOWN && Id == FileListId)
      Raise(&ILogViewerHandlers::cbbLogFilesDropDown);
    else if (Code == BN_CLICKED && Id == FolderButtonId)
      Raise(&ILogViewerHandlers::btnOpenDirClick);
  }

  void Raise(void (ILogViewerHandlers::*Handler)(ILogViewerControls&)) {
    FEvents.Run([&] { (FHandlers.*Handler)(*this); });
  }

  ILogViewerHandlers& FHandlers;
  HWND FFileList = nullptr;
  HWND FFolderButton = nullptr;
  HWND FEncodingList = nullptr;
  HWND FTextBox = nullptr;
  win::TIcon FFolderIcon;
  TLineEnds FLineEnds;
  TOneEventAtATime FEvents;
};

}  // namespace

void ShowLogViewerWindow(ILogViewerHandlers& Handlers) {
  TLogViewerWindow Window(Handlers);
  Window.Show();
}

}  // namespace os
