// The log viewer as a cashier opens it: the host calls DoAdditionalAction
// ("ViewLog") on its thread and waits; the test, from inside the window's own
// loop, reads the controls, writes to the log, switches the encoding and
// closes the window as its close button does.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "WindowScript.posix.h"
#include "platform/Text.h"
#include "tests/support/HostTestSupport.h"

namespace hosttest {
namespace {

using namespace windowtest;

constexpr const char* kCaption = "Просмотр лога";
constexpr const char* kOlderDay = "a_orvextx1c83n_2026.12.01.log";
constexpr const char* kNewestDay = "a_orvextx1c83n_2026.12.05.log";
// "Оплата картой" in the two single-byte code pages the list offers.
constexpr const char* kPaymentCp1251 = "\xCE\xEF\xEB\xE0\xF2\xE0\x20\xEA\xE0\xF0\xF2\xEE\xE9";
constexpr const char* kPaymentCp866 = "\x8E\xAF\xAB\xA0\xE2\xA0\x20\xAA\xA0\xE0\xE2\xAE\xA9";
constexpr const char* kPayment = "Оплата картой";

class LogViewerWindow : public HostSession {
protected:
  void SetUp() override {
    if (!HasDisplay()) GTEST_SKIP() << "no display (DISPLAY and WAYLAND_DISPLAY unset): the window cannot be shown";
    UseTemporaryMachineDataFolder();
    Folder = std::filesystem::path(std::getenv("PROGRAMDATA")) / "Orvex" / "a_orvextx1c83n";
    std::filesystem::create_directories(Folder);
    Write(kOlderDay, std::string("ANSI: ") + kPaymentCp1251 + "\r\nOEM: " + kPaymentCp866 + "\r\n");
    Write(kNewestDay, "16:00:00.000 Открыт\r\n16:00:01.000 Оплата 100.00\r\n");
  }

  void TearDown() override {
    HostSession::TearDown();
    RestoreMachineDataFolder();
  }

  void Write(const char* Name, const std::string& Bytes, std::ios::openmode Mode = std::ios::trunc) {
    std::ofstream(Folder / Name, std::ios::binary | std::ios::out | Mode) << Bytes;
  }

  GtkWidget* Control(const char* Name) { return FindNamed(GTK_WIDGET(FindWindow(kCaption)), Name); }
  GtkComboBox* List(const char* Name) { return GTK_COMBO_BOX(Control(Name)); }
  GtkTextView* LogText() { return GTK_TEXT_VIEW(Control("log-text")); }

  // The line of the shown text that starts with Prefix, without its line end.
  std::string ShownLine(const std::string& Prefix) {
    const std::string Shown = ShownText(LogText());
    const std::size_t Start = Shown.find(Prefix);
    if (Start == std::string::npos) return {};
    return Shown.substr(Start, Shown.find_first_of("\r\n", Start) - Start);
  }

  std::filesystem::path Folder;
};

TEST_F(LogViewerWindow, ShowsTheDayFilesFollowsTheNewestAndDecodesEachEncoding) {
  Component& Driver = Open(u"a_orvextx1c83n");
  constexpr int kCaret = 5;
  const std::string Appended = "16:00:02.000 Закрыт";
  TWindowScript Script{kCaption};
  Script
      .Then(
          "the window shows", [&] { return FindWindow(kCaption) != nullptr; }, 10000)
      .Then("the newest day file is chosen and shown",
            [&] {
              std::vector<std::string> Files = EntriesOf(List("file-list"));
              std::sort(Files.begin(), Files.end());
              EXPECT_EQ(Files, (std::vector<std::string>{kOlderDay, kNewestDay}));
              EXPECT_EQ(ActiveEntry(List("file-list")), kNewestDay);
              EXPECT_EQ(ActiveEntry(List("encoding-list")), "UTF-8");
              EXPECT_EQ(ShownText(LogText()), "16:00:00.000 Открыт\r\n16:00:01.000 Оплата 100.00\r\n");
              // Where the user clicked.
              GtkTextBuffer* Buffer = gtk_text_view_get_buffer(LogText());
              GtkTextIter Caret;
              gtk_text_buffer_get_iter_at_offset(Buffer, &Caret, kCaret);
              gtk_text_buffer_place_cursor(Buffer, &Caret);
              Write(kNewestDay, Appended + "\r\n", std::ios::app);
              return true;
            })
      .Then("a line written to the shown file appears, the caret stays",
            [&] {
              if (ShownLine("16:00:02") != Appended) return false;
              EXPECT_EQ(CaretOffset(LogText()), kCaret);
              return true;
            })
      .ThenScreenshot("LogViewerWindow")
      .Then("the older file in ANSI decodes code page 1251",
            [&] {
              const std::vector<std::string> Files = EntriesOf(List("file-list"));
              const auto Older = std::find(Files.begin(), Files.end(), kOlderDay);
              EXPECT_NE(Older, Files.end());
              gtk_combo_box_set_active(List("file-list"), static_cast<gint>(Older - Files.begin()));
              gtk_combo_box_set_active(List("encoding-list"), 1);
              return true;
            })
      .Then("the ANSI line reads right", [&] { return ShownLine("ANSI: ") == std::string("ANSI: ") + kPayment; })
      .Then("the OEM line reads right in OEM",
            [&] {
              gtk_combo_box_set_active(List("encoding-list"), 2);
              return ShownLine("OEM: ") == std::string("OEM: ") + kPayment;
            })
      .Then("the window closes as its close button does", [&] {
        gtk_window_close(FindWindow(kCaption));
        return true;
      });
  Script.Start();
  const CallOutcome Outcome = Driver.Call(u"DoAdditionalAction", {Text(u"ViewLog")});
  EXPECT_TRUE(Script.Finished());
  EXPECT_EQ(Outcome.Return, HostValue(true)) << ToUtf8(LastError().second);
  EXPECT_TRUE(Outcome.Errors.empty());
}

}  // namespace
}  // namespace hosttest
