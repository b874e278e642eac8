// The help window on Windows: ShowHelp through the host emulator as a user
// meets it, and the document window's view on a page of the test's own. Wine
// has no web engine here, so the page itself is never drawn: what is checked
// is the window, the browser control in it, where the control was sent and
// that everything is gone once the user closed the window.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/Text.h"
#include "platform/windows/DocumentWindow.windows.h"
#include "tests/support/HostTestSupport.h"
#include "tests/support/WindowTestSupport.windows.h"

namespace {

using namespace hosttest;
using namespace windowtest;

constexpr std::u16string_view kClass = u"a_orvextx1c83n";
// The window class the browser control makes for itself in its container's window.
constexpr const wchar_t* kBrowserControlClass = L"Shell Embedding";

std::set<std::filesystem::path> FoldersIn(const std::filesystem::path& Parent) {
  std::set<std::filesystem::path> Folders;
  for (const auto& Entry : std::filesystem::directory_iterator(Parent))
    if (Entry.is_directory()) Folders.insert(Entry.path());
  return Folders;
}

bool EndsWithCaseless(std::u16string Text, std::u16string_view End) {
  for (char16_t& Unit : Text)
    if (Unit >= u'A' && Unit <= u'Z') Unit = static_cast<char16_t>(Unit + (u'a' - u'A'));
  return Text.size() >= End.size() && Text.compare(Text.size() - End.size(), End.size(), End) == 0;
}

void ExpectClientSizeAtScreenDpi(HWND Window) {
  const int Dpi = ScreenDpi();
  RECT Client{};
  ::GetClientRect(Window, &Client);
  EXPECT_EQ(Client.right, AtDpi(633, Dpi));
  EXPECT_EQ(Client.bottom, AtDpi(425, Dpi));
}

class HelpWindow : public HostSession {
protected:
  void SetUp() override {
    const std::string Reason = MissingDisplayReason();
    if (!Reason.empty()) GTEST_SKIP() << Reason;
  }
};

TEST_F(HelpWindow, ShowHelpOpensTheManualInTheBrowserControlAndLeavesNoFolderBehind) {
  Component& Object = Open(kClass);
  const std::filesystem::path Temporary = std::filesystem::temp_directory_path();
  const std::set<std::filesystem::path> Before = FoldersIn(Temporary);
  std::filesystem::path PageFolder;

  CallOutcome Outcome;
  const auto Driven = DriveWindow(
      L"Справка", [&] { Outcome = Object.Call(u"DoAdditionalAction", {Text(u"ShowHelp")}); },
      [&](HWND Window) {
        ExpectClientSizeAtScreenDpi(Window);
        const auto Controls = ChildrenOfClass(Window, kBrowserControlClass);
        ASSERT_EQ(Controls.size(), 1u) << "the browser control in the window";
        const RECT Place = PlaceInParent(Controls[0]);
        EXPECT_EQ(Place.right - Place.left, AtDpi(633, ScreenDpi())) << "the control fills the window";
        for (const auto& Folder : FoldersIn(Temporary))
          if (Before.count(Folder) == 0) PageFolder = Folder;
        EXPECT_TRUE(std::filesystem::exists(PageFolder / "md.html")) << PageFolder.string();
        SaveScreenshot(Window, "help");
        ::PostMessageW(Window, WM_CLOSE, 0, 0);
      });
  ASSERT_TRUE(Driven.Found) << "the window did not show";
  EXPECT_FALSE(Driven.Raised) << ToUtf8(Driven.Message);
  EXPECT_TRUE(Outcome.Ok);
  EXPECT_EQ(Outcome.Return, HostValue(true)) << "closing the window ends the action";
  EXPECT_TRUE(Outcome.Errors.empty());
  ASSERT_FALSE(PageFolder.empty()) << "the manual was unpacked into a folder of its own";
  EXPECT_FALSE(std::filesystem::exists(PageFolder)) << "and the folder is gone";
}

// The view on a page of the test's own: the control is sent to the page, the
// window follows its frame's size, Escape in the control closes it, and the
// control's windows are gone when Show returns.
TEST_F(HelpWindow, TheViewSendsTheControlToThePageFollowsTheWindowAndClosesOnEscape) {
  const std::filesystem::path Folder = std::filesystem::temp_directory_path() / "orvex-help-window-test";
  std::filesystem::create_directories(Folder);
  const std::filesystem::path Page = Folder / "md.html";
  std::ofstream(Page, std::ios::binary) << "<html><body><h1>Справка</h1></body></html>";

  const os::win::TOleThread Ole;
  ASSERT_TRUE(Ole.Available());
  os::win::TDocumentWindow Window;
  std::atomic<bool> Closed{false};
  HWND Control = nullptr;
  bool ClosedByEscape = false;
  const auto Driven = DriveWindow(
      L"Страница",
      [&] {
        Window.Show(Page.u16string(), u"Страница");
        Closed = true;
      },
      [&](HWND Shown) {
        ExpectClientSizeAtScreenDpi(Shown);
        const auto Controls = ChildrenOfClass(Shown, kBrowserControlClass);
        ASSERT_EQ(Controls.size(), 1u);
        Control = Controls[0];
        ::SetWindowPos(Shown, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
        RECT Client{};
        ::GetClientRect(Shown, &Client);
        const RECT Place = PlaceInParent(Control);
        EXPECT_EQ(Place.right - Place.left, Client.right) << "the control follows the window's width";
        EXPECT_EQ(Place.bottom - Place.top, Client.bottom) << "and its height";
        ::PostMessageW(Control, WM_KEYDOWN, VK_ESCAPE, 0);
        ClosedByEscape = WaitUntil([&] { return Closed.load(); }, std::chrono::seconds(5));
      });
  ASSERT_TRUE(Driven.Found) << "the window did not show";
  EXPECT_FALSE(Driven.Raised) << ToUtf8(Driven.Message);
  EXPECT_TRUE(ClosedByEscape) << "Escape in the control closes the window";
  EXPECT_FALSE(::IsWindow(Control)) << "the control's window is destroyed with ours";
  ASSERT_FALSE(Window.Navigations().empty()) << "the control set out for no page";
  EXPECT_TRUE(EndsWithCaseless(Window.Navigations().front(), u"/orvex-help-window-test/md.html") ||
              EndsWithCaseless(Window.Navigations().front(), u"\\orvex-help-window-test\\md.html"))
      << ToUtf8(Window.Navigations().front());
  std::filesystem::remove_all(Folder);
  EXPECT_FALSE(std::filesystem::exists(Folder)) << "nothing holds the page's folder";
}

TEST(HelpLinks, OnlyWebAndMailAddressesLeaveForTheDesktopsBrowser) {
  const struct {
    std::u16string_view Url;
    bool Outside;
  } Cases[] = {
      {u"https://example.org/terminal", true},
      {u"HTTP://EXAMPLE.ORG", true},
      {u"mailto:support@example.org", true},
      {u"file:///C:/users/temp/md.html#setup", false},
      {u"C:\\users\\temp\\md.html", false},
      {u"about:blank", false},
      {u"httpx://example.org", false},
      {u"http", false},
      {u"", false},
  };
  for (const auto& Case : Cases) EXPECT_EQ(os::win::OpensInDesktopBrowser(Case.Url), Case.Outside) << ToUtf8(Case.Url);
}

}  // namespace
