// The help as a cashier opens it: the host calls DoAdditionalAction
// ("ShowHelp") and waits; the test, from inside the window's own loop, waits
// for the manual to be drawn, reads it back and closes the window with Escape.
// And the window's own rule for links: a page of the manual opens in it, any
// other address goes to the desktop's browser.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/ScopedTempVariable.h"
#include "platform/Text.h"
#include "platform/posix/DocumentView.posix.h"
#include "tests/logging/WindowScript.posix.h"
#include "tests/support/HostTestSupport.h"

namespace hosttest {
namespace {

using namespace windowtest;

constexpr const char* kCaption = "Справка";
// WebKit starts its web and network processes on the first page: slow on a busy machine.
constexpr int kWebKitStartMs = 30000;

// The system's temporary folder pointed at a fresh folder of the test's own.
class TemporaryFolder {
public:
  TemporaryFolder()
      : FFolder(std::filesystem::temp_directory_path() /
                ("help-window-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()))),
        FVariable(Created(FFolder)) {}
  ~TemporaryFolder() { std::filesystem::remove_all(FFolder); }
  const std::filesystem::path& Path() const { return FFolder; }

private:
  static std::u16string Created(const std::filesystem::path& Folder) {
    std::filesystem::create_directories(Folder);
    return Folder.u16string();
  }
  std::filesystem::path FFolder;
  helptest::TScopedTempVariable FVariable;
};

GtkWidget* DocumentView(const char* Caption) { return FindNamed(GTK_WIDGET(FindWindow(Caption)), "document-view"); }

std::string ShownUri(GtkWidget* View) {
  gchar* Uri = nullptr;
  g_object_get(View, "uri", &Uri, nullptr);
  std::string Result = Uri != nullptr ? Uri : "";
  g_free(Uri);
  return Result;
}

bool HasLoaded(GtkWidget* View) {
  gboolean Loading = TRUE;
  gdouble Progress = 0.0;
  g_object_get(View, "is-loading", &Loading, "estimated-load-progress", &Progress, nullptr);
  return !Loading && Progress >= 1.0;
}

std::filesystem::path PathOfUri(const std::string& Uri) {
  gchar* Path = g_filename_from_uri(Uri.c_str(), nullptr, nullptr);
  std::filesystem::path Result = Path != nullptr ? Path : "";
  g_free(Path);
  return Result;
}

class HelpWindow : public HostSession {
protected:
  void SetUp() override {
    if (!HasDisplay()) GTEST_SKIP() << "no display (DISPLAY and WAYLAND_DISPLAY unset): the window cannot be shown";
  }
};

TEST_F(HelpWindow, ShowsTheManualAndLeavesNothingBehindWhenClosed) {
  const TemporaryFolder Temporary;
  Component& Driver = Open(u"a_orvextx1c83n");
  std::filesystem::path PageFolder;
  TWindowScript Script{kCaption};
  Script
      .Then(
          "the window shows", [&] { return DocumentView(kCaption) != nullptr; }, kWebKitStartMs)
      .Then("the window has the form's size at the screen's resolution",
            [&] {
              const double Factor = gdk_screen_get_resolution(gdk_screen_get_default()) / 120.0;
              gint Width = 0;
              gint Height = 0;
              gtk_window_get_size(FindWindow(kCaption), &Width, &Height);
              EXPECT_EQ(Width, static_cast<gint>(633 * Factor + 0.5));
              EXPECT_EQ(Height, static_cast<gint>(425 * Factor + 0.5));
              return true;
            })
      .Then(
          "the manual's page has loaded",
          [&] {
            GtkWidget* View = DocumentView(kCaption);
            if (!HasLoaded(View)) return false;
            const std::filesystem::path Page = PathOfUri(ShownUri(View));
            EXPECT_EQ(Page.filename(), "md.html");
            EXPECT_EQ(Page.parent_path().parent_path(), Temporary.Path());
            PageFolder = Page.parent_path();
            return true;
          },
          kWebKitStartMs)
      // A blank page, or one never painted, has no dark pixels; the manual's text has plenty.
      .Then(
          "the manual's text is drawn", [&] { return DarkPixelShare(FindWindow(kCaption)) > 0.01; }, 10000)
      .ThenScreenshot("HelpWindow")
      .Then("the page is not a black window", [&] {
        EXPECT_LT(DarkPixelShare(FindWindow(kCaption)), 0.5);
        EXPECT_TRUE(std::filesystem::exists(PageFolder / "github.css"));
        PressKey(FindWindow(kCaption), GDK_KEY_Escape);
        return true;
      });
  Script.Start();
  const CallOutcome Outcome = Driver.Call(u"DoAdditionalAction", {Text(u"ShowHelp")});
  EXPECT_TRUE(Script.Finished());
  EXPECT_EQ(Outcome.Return, HostValue(true)) << ToUtf8(LastError().second);
  EXPECT_TRUE(Outcome.Errors.empty());
  EXPECT_FALSE(PageFolder.empty());
  EXPECT_TRUE(std::filesystem::is_empty(Temporary.Path()));
}

// A page that sends itself on to Target at once, as a link the user follows.
void WritePage(const std::filesystem::path& Path, const std::string& Target) {
  std::ofstream(Path) << "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                      << "<meta http-equiv=\"refresh\" content=\"0; url=" << Target << "\"></head>"
                      << "<body><h1>Страница</h1></body></html>";
}

TEST_F(HelpWindow, LinksOutOfThePageFolderGoToTheBrowserNotTheWindow) {
  const TemporaryFolder Temporary;
  const std::filesystem::path Folder = Temporary.Path() / "{page}";
  std::filesystem::create_directories(Folder);
  const std::filesystem::path Page = Folder / "page.html";
  std::ofstream(Folder / "second.html") << "<p>Вторая страница</p>";
  std::ofstream(Temporary.Path() / "outside.html") << "<p>Снаружи</p>";
  const std::string OutsideFile = "file://" + (Temporary.Path() / "outside.html").string();
  const struct {
    const char* Name;
    std::string Target;
    std::string Opened;  // what the browser got; none: the window followed the link
    std::string Shown;   // the window's page at the end
  } Cases[] = {
      {"a web address", "https://example.invalid/orvex?a=1", "https://example.invalid/orvex?a=1", "page.html"},
      {"a mail address", "mailto:help@example.invalid", "mailto:help@example.invalid", "page.html"},
      {"a file out of the page's folder", "../outside.html", OutsideFile, "page.html"},
      {"a page of the folder", "second.html", "", "second.html"},
  };
  const os::gtk::TGtkApi Gtk = os::gtk::OpenGtk();
  constexpr const char* kDocument = "Документ";
  for (const auto& Case : Cases) {
    WritePage(Page, Case.Target);
    std::vector<std::string> Opened;
    TWindowScript Script{kDocument};
    Script
        .Then(
            "the link is followed or handed over",
            [&] {
              GtkWidget* View = DocumentView(kDocument);
              if (View == nullptr) return false;
              // A refused address leaves the page as it was, loaded or not quite.
              if (!Case.Opened.empty()) return !Opened.empty();
              return HasLoaded(View) && ShownUri(View).ends_with(Case.Shown);
            },
            kWebKitStartMs)
        .Then("the window shows its page and closes", [&] {
          GtkWidget* View = DocumentView(kDocument);
          EXPECT_TRUE(ShownUri(View).ends_with(Case.Shown)) << Case.Name << ": " << ShownUri(View);
          gtk_window_close(FindWindow(kDocument));
          return true;
        });
    Script.Start();
    const os::TDocumentShown Shown = os::ShowDocument(Gtk, Page.u16string(), FromUtf8(kDocument),
                                                      [&](const std::string& Uri) { Opened.push_back(Uri); });
    EXPECT_TRUE(Script.Finished()) << Case.Name;
    EXPECT_EQ(Shown, os::TDocumentShown::InWindow) << Case.Name;
    const std::vector<std::string> Expected =
        Case.Opened.empty() ? std::vector<std::string>{} : std::vector<std::string>{Case.Opened};
    EXPECT_EQ(Opened, Expected) << Case.Name;
  }
}

}  // namespace
}  // namespace hosttest
