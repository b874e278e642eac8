// The log viewer's Win32 view on a real display, driven by handlers of the
// test's own: what the controls are, where they sit, what the user's actions
// raise, and what the logic's calls do to the controls.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "platform/Exception.h"
#include "platform/LogViewerWindow.h"
#include "platform/Text.h"
#include "tests/support/WindowTestSupport.windows.h"

namespace {

using namespace windowtest;

const std::wstring Caption = L"Просмотр лога";

// Counts the events and runs, on the window's thread, what the test asks of
// the controls (see LogViewerView::OnWindowThread).
class TScratchHandlers final : public os::ILogViewerHandlers {
public:
  void FormCreate(os::ILogViewerControls& Controls) override {
    Controls.SetFileNames({u"a_2026.03.01.log", u"a_2026.03.03.log", u"a_2026.03.02.log"});
    Controls.SelectFileName(u"a_2026.03.03.log");
    Controls.ReplaceText(u"first line\r\nsecond line\r\n");
  }
  void cbbLogFilesChange(os::ILogViewerControls&) override { ++Changes; }
  void cbbLogFilesDropDown(os::ILogViewerControls&) override { ++DropDowns; }
  void btnOpenDirClick(os::ILogViewerControls& Controls) override {
    ++FolderClicks;
    std::function<void(os::ILogViewerControls&)> Work;
    {
      std::lock_guard<std::mutex> Lock(WorkGuard);
      Work.swap(PendingWork);
    }
    if (Work) Work(Controls);
  }
  void tmrCheckFileTimer(os::ILogViewerControls&) override { ++Ticks; }

  std::atomic<int> Changes{0};
  std::atomic<int> DropDowns{0};
  std::atomic<int> FolderClicks{0};
  std::atomic<int> Ticks{0};
  std::mutex WorkGuard;
  std::function<void(os::ILogViewerControls&)> PendingWork;
};

// The window's parts as the driver thread finds them.
struct TParts {
  HWND Window;
  HWND FileList;
  HWND EncodingList;
  HWND FolderButton;
  HWND TextBox;
};

TParts FindParts(HWND Window) {
  const auto Lists = ChildrenOfClass(Window, L"ComboBox");
  const auto Buttons = ChildrenOfClass(Window, L"Button");
  const auto Edits = ChildrenOfClass(Window, L"Edit");
  if (Lists.size() != 2 || Buttons.size() != 1 || Edits.size() != 1) {
    ADD_FAILURE() << "controls: " << Lists.size() << " lists, " << Buttons.size() << " buttons, " << Edits.size()
                  << " edit boxes";
    return {Window, nullptr, nullptr, nullptr, nullptr};
  }
  return {Window, Lists[0], Lists[1], Buttons[0], Edits[0]};
}

void SendCommand(HWND Control, WORD Code) {
  ::SendMessageW(::GetParent(Control), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(Control), Code),
                 reinterpret_cast<LPARAM>(Control));
}

class LogViewerView : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string Reason = MissingDisplayReason();
    if (!Reason.empty()) GTEST_SKIP() << Reason;
  }

  // Opens the window on this thread and drives it from another; fails the
  // test when the window never showed or its opening raised.
  void Drive(const std::function<void(const TParts&)>& Work) {
    Closed = false;
    const auto Outcome = DriveWindow(
        Caption, [this] { Open(); }, [&](HWND Window) { Work(FindParts(Window)); });
    EXPECT_TRUE(Outcome.Found) << "the window did not show";
    EXPECT_FALSE(Outcome.Raised) << ToUtf8(Outcome.Message);
  }

  // Under Wine another thread may still find a window destroyed a moment ago
  // (IsWindow): the call's return is what tells that it closed.
  void Open() {
    struct TMarkClosed {
      std::atomic<bool>& Flag;
      ~TMarkClosed() { Flag = true; }
    } Mark{Closed};
    os::ShowLogViewerWindow(Handlers);
  }

  // Runs Work with the controls on the window's thread, as a handler would,
  // through the folder button's click.
  void OnWindowThread(const TParts& Parts, std::function<void(os::ILogViewerControls&)> Work) {
    {
      std::lock_guard<std::mutex> Lock(Handlers.WorkGuard);
      Handlers.PendingWork = std::move(Work);
    }
    SendCommand(Parts.FolderButton, BN_CLICKED);
  }

  TScratchHandlers Handlers;
  std::atomic<bool> Closed{false};
};

TEST_F(LogViewerView, ShowsTheControlsAtTheirPlacesScaledToTheScreen) {
  Drive([&](const TParts& Parts) {
    ASSERT_NE(Parts.TextBox, nullptr);
    const int Dpi = ScreenDpi();
    RECT Client{};
    ::GetClientRect(Parts.Window, &Client);
    EXPECT_EQ(Client.right, AtDpi(884, Dpi));
    EXPECT_EQ(Client.bottom, AtDpi(550, Dpi));

    const struct {
      const char* Name;
      HWND Control;
      int Left;
      int Width;
    } Places[] = {
        {"file list", Parts.FileList, 8, 257},
        {"folder button", Parts.FolderButton, 268, 23},
        {"encoding list", Parts.EncodingList, 305, 80},
    };
    for (const auto& Place : Places) {
      const RECT At = PlaceInParent(Place.Control);
      EXPECT_EQ(At.left, AtDpi(Place.Left, Dpi)) << Place.Name;
      EXPECT_EQ(At.right - At.left, AtDpi(Place.Width, Dpi)) << Place.Name;
      EXPECT_GT(At.top, 0) << Place.Name;
      EXPECT_LE(At.bottom, AtDpi(33, Dpi)) << Place.Name << " in the top panel";
    }
    const RECT Text = PlaceInParent(Parts.TextBox);
    EXPECT_EQ(Text.top, AtDpi(33, Dpi));
    EXPECT_EQ(Text.left, 0);
    EXPECT_EQ(Text.right, Client.right) << "the text box fills the rest";
    EXPECT_EQ(Text.bottom, Client.bottom) << "the text box fills the rest";

    const auto Style = [](HWND Control) { return static_cast<DWORD>(::GetWindowLongPtrW(Control, GWL_STYLE)); };
    EXPECT_EQ(Style(Parts.FileList) & (CBS_DROPDOWNLIST | CBS_SORT), DWORD{CBS_DROPDOWNLIST | CBS_SORT});
    EXPECT_EQ(Style(Parts.EncodingList) & (CBS_DROPDOWNLIST | CBS_SORT), DWORD{CBS_DROPDOWNLIST});
    const DWORD TextStyle = ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL;
    EXPECT_EQ(Style(Parts.TextBox) & TextStyle, TextStyle);

    EXPECT_EQ(ComboItems(Parts.EncodingList), (std::vector<std::wstring>{L"UTF-8", L"ANSI", L"OEM"}));
    EXPECT_EQ(ComboSelection(Parts.EncodingList), L"UTF-8");
    EXPECT_EQ(ComboItems(Parts.FileList),
              (std::vector<std::wstring>{L"a_2026.03.01.log", L"a_2026.03.02.log", L"a_2026.03.03.log"}));
    EXPECT_EQ(ComboSelection(Parts.FileList), L"a_2026.03.03.log");
    EXPECT_EQ(TextOf(Parts.TextBox), L"first line\r\nsecond line\r\n");

    LOGFONTW Font{};
    const auto FontHandle = reinterpret_cast<HFONT>(::SendMessageW(Parts.TextBox, WM_GETFONT, 0, 0));
    ASSERT_NE(FontHandle, nullptr);
    ::GetObjectW(FontHandle, sizeof(Font), &Font);
    EXPECT_STREQ(Font.lfFaceName, L"Tahoma");
    EXPECT_EQ(Font.lfHeight, -AtDpi(13, Dpi)) << "a character height of 13 px at 120 dpi";

    EXPECT_NE(::SendMessageW(Parts.Window, WM_GETICON, ICON_BIG, 0), 0) << "the project's icon";
    EXPECT_NE(::SendMessageW(Parts.Window, WM_GETICON, ICON_SMALL, 0), 0) << "the project's icon";
    EXPECT_NE(::SendMessageW(Parts.FolderButton, BM_GETIMAGE, IMAGE_ICON, 0), 0) << "the folder picture";

    RECT Frame{};
    ::GetWindowRect(Parts.Window, &Frame);
    RECT Work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &Work, 0);
    EXPECT_NEAR((Frame.left + Frame.right) / 2, (Work.left + Work.right) / 2, 1) << "centred";
    EXPECT_NEAR((Frame.top + Frame.bottom) / 2, (Work.top + Work.bottom) / 2, 1) << "centred";

    std::cout << "screenshot: " << SaveScreenshot(Parts.Window, "log-viewer-view").string() << "\n";
  });
}

TEST_F(LogViewerView, TheUsersActionsRaiseTheirHandlers) {
  Drive([&](const TParts& Parts) {
    ASSERT_NE(Parts.TextBox, nullptr);
    PickComboEntry(Parts.FileList, 0);
    PickComboEntry(Parts.EncodingList, 1);
    EXPECT_EQ(Handlers.Changes, 2) << "both lists' picks";
    ::SendMessageW(Parts.FileList, CB_SHOWDROPDOWN, TRUE, 0);
    ::SendMessageW(Parts.FileList, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(Handlers.DropDowns, 1) << "opening the day-file list";
    ::SendMessageW(Parts.EncodingList, CB_SHOWDROPDOWN, TRUE, 0);
    ::SendMessageW(Parts.EncodingList, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(Handlers.DropDowns, 1) << "the encoding list has no such handler";
    ::SendMessageW(Parts.FolderButton, BM_CLICK, 0, 0);
    EXPECT_EQ(Handlers.FolderClicks, 1);
    EXPECT_TRUE(WaitUntil([&] { return Handlers.Ticks >= 2; }, std::chrono::milliseconds(3500)))
        << "the timer ticks every second; ticks: " << Handlers.Ticks;
  });
}

// Positions count the units of the text the logic gave, though the box holds
// a CR before every lone LF.
TEST_F(LogViewerView, ReplacesTheTextWholeAndKeepsTheCaretWhereTheLogicPutsIt) {
  Drive([&](const TParts& Parts) {
    ASSERT_NE(Parts.TextBox, nullptr);
    std::u16string Large;
    while (Large.size() < 1'000'000) Large += u"2026.03.03 10:20:30.456 line of a day file\r\n";
    Large += u"end";
    std::size_t CaretRead = 0;
    OnWindowThread(Parts, [&](os::ILogViewerControls& Controls) { Controls.ReplaceText(Large); });
    EXPECT_EQ(static_cast<std::size_t>(::GetWindowTextLengthW(Parts.TextBox)), Large.size())
        << "a large day file is not cut";
    EXPECT_EQ(EditSelection(Parts.TextBox), (std::pair<DWORD, DWORD>{0, 0}));

    const struct {
      std::size_t Restored;
      DWORD InBox;
      std::size_t Read;
    } Cases[] = {
        {0, 0, 0},   {1, 1, 1},  // before the first lone LF
        {2, 3, 2},               // after it
        {5, 6, 5},               // after the CR LF, which stays as it was
        {6, 7, 6},               // before the second lone LF
        {7, 9, 7},               // after it
        {8, 10, 8},              // the end
        {50, 10, 8},             // past the end: clamped
    };
    OnWindowThread(Parts, [&](os::ILogViewerControls& Controls) { Controls.ReplaceText(u"a\nb\r\nc\nd"); });
    EXPECT_EQ(TextOf(Parts.TextBox), L"a\r\nb\r\nc\r\nd");
    for (const auto& Case : Cases) {
      bool Focused = false;
      OnWindowThread(Parts, [&](os::ILogViewerControls& Controls) {
        Controls.RestoreCaret(Case.Restored);
        CaretRead = Controls.CaretPosition();
        Focused = ::GetFocus() == Parts.TextBox;
      });
      EXPECT_EQ(EditSelection(Parts.TextBox), (std::pair<DWORD, DWORD>{Case.InBox, Case.InBox})) << Case.Restored;
      EXPECT_EQ(CaretRead, Case.Read) << Case.Restored;
      EXPECT_TRUE(Focused) << "the text has the focus";
    }
  });
}

TEST_F(LogViewerView, SelectsDayFilesByName) {
  Drive([&](const TParts& Parts) {
    ASSERT_NE(Parts.TextBox, nullptr);
    const struct {
      std::u16string Selected;
      std::u16string Read;
    } Cases[] = {
        {u"b.log", u"b.log"},
        {u"", u""},
        {u"a.log", u"a.log"},
        {u"missing.log", u""},
    };
    for (const auto& Case : Cases) {
      std::u16string Read = u"(not read)";
      OnWindowThread(Parts, [&](os::ILogViewerControls& Controls) {
        Controls.SetFileNames({u"a.log", u"b.log"});
        Controls.SelectFileName(Case.Selected);
        Read = Controls.SelectedFileName();
      });
      EXPECT_EQ(Read, Case.Read) << ToUtf8(Case.Selected);
      EXPECT_EQ(FromWide(ComboSelection(Parts.FileList)), Case.Read) << ToUtf8(Case.Selected);
    }
    int Encoding = -2;
    PickComboEntry(Parts.EncodingList, 2);
    OnWindowThread(Parts, [&](os::ILogViewerControls& Controls) { Encoding = Controls.EncodingIndex(); });
    EXPECT_EQ(Encoding, 2);
  });
}

// Escape in any control closes the window, but an open drop-down list takes
// it first; the host's window is disabled while the viewer is open, then
// enabled and active again.
TEST_F(LogViewerView, IsModalOverTheHostsWindowAndEscapeClosesIt) {
  HWND Host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                nullptr, nullptr, nullptr);
  ASSERT_NE(Host, nullptr);
  ::SetActiveWindow(Host);
  ASSERT_EQ(::GetActiveWindow(), Host);
  bool ClosedByEscape = false;

  Drive([&](const TParts& Parts) {
    ASSERT_NE(Parts.TextBox, nullptr);
    EXPECT_EQ(::GetWindow(Parts.Window, GW_OWNER), Host);
    EXPECT_FALSE(::IsWindowEnabled(Host)) << "the host's window waits";
    ::SendMessageW(Parts.FileList, CB_SHOWDROPDOWN, TRUE, 0);
    ::PostMessageW(Parts.FileList, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([&] { return ::SendMessageW(Parts.FileList, CB_GETDROPPEDSTATE, 0, 0) == 0; },
                          std::chrono::seconds(2)))
        << "Escape closes the open list";
    EXPECT_TRUE(::IsWindow(Parts.Window)) << "and not the window";
    ::PostMessageW(Parts.TextBox, WM_KEYDOWN, VK_ESCAPE, 0);
    ClosedByEscape = WaitUntil([&] { return Closed.load(); }, std::chrono::seconds(2));
  });
  EXPECT_TRUE(ClosedByEscape) << "Escape in the text closes the window";
  EXPECT_TRUE(::IsWindowEnabled(Host));
  EXPECT_EQ(::GetActiveWindow(), Host);
  ::DestroyWindow(Host);
}

// The host quitting while the viewer is open: the viewer closes and the quit
// reaches the host's own loop.
TEST_F(LogViewerView, LeavesAQuitToTheHostsLoop) {
  const DWORD HostThread = ::GetCurrentThreadId();
  Drive([&](const TParts&) { ::PostThreadMessageW(HostThread, WM_QUIT, 7, 0); });
  MSG Message{};
  ASSERT_TRUE(::PeekMessageW(&Message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(Message.wParam, WPARAM{7});
}

// The logic promises not to raise; should it still, the window closes and
// the failure reaches the caller instead of the system's message code.
TEST_F(LogViewerView, AFailureInAHandlerClosesTheWindowAndIsRaised) {
  const auto Outcome = DriveWindow(
      Caption, [this] { Open(); },
      [&](HWND Window) {
        const TParts Parts = FindParts(Window);
        OnWindowThread(Parts, [](os::ILogViewerControls&) { throw Exception(std::u16string(u"сбой обработчика")); });
        EXPECT_TRUE(WaitUntil([&] { return Closed.load(); }, std::chrono::seconds(2)));
      });
  EXPECT_TRUE(Outcome.Raised);
  EXPECT_EQ(Outcome.Message, u"сбой обработчика");
}

}  // namespace
