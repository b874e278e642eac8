// The GTK view of the log viewer on a real window, under a handler that
// records what reaches it: the controls the logic fills, positions across
// characters that GTK counts differently, and which user actions report which
// event (and that the logic's own changes report none).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WindowScript.posix.h"
#include "platform/LogViewerWindow.h"
#include "platform/Text.h"

namespace {

using namespace windowtest;

constexpr const char* kCaption = "Просмотр лога";

class TRecordingHandlers final : public os::ILogViewerHandlers {
public:
  void FormCreate(os::ILogViewerControls& Controls) override {
    Events.push_back("FormCreate");
    Controls.SetFileNames({u"a_2026.12.08.log", u"b😀.log"});
    Controls.SelectFileName(u"b😀.log");
    // A character outside the basic plane is two units here and one character in GTK.
    Controls.ReplaceText(u"x😀y\r\nz");
    Controls.RestoreCaret(3);
  }
  void cbbLogFilesChange(os::ILogViewerControls& Controls) override {
    Events.push_back("Change");
    EncodingSeen = Controls.EncodingIndex();
    FileSeen = Controls.SelectedFileName();
  }
  void cbbLogFilesDropDown(os::ILogViewerControls&) override { Events.push_back("DropDown"); }
  // The error box is modal: the handler goes on only once the user closed it.
  void btnOpenDirClick(os::ILogViewerControls& Controls) override {
    Events.push_back("OpenDir");
    Controls.ShowError(u"Папка логов недоступна");
    Events.push_back("ErrorClosed");
  }
  void tmrCheckFileTimer(os::ILogViewerControls& Controls) override {
    ++Ticks;
    CaretSeen = Controls.CaretPosition();
  }

  std::vector<std::string> Events;
  int Ticks = 0;
  int EncodingSeen = -2;
  std::u16string FileSeen;
  std::size_t CaretSeen = 0;
};

class LogViewerView : public ::testing::Test {
protected:
  void SetUp() override {
    if (!HasDisplay()) GTEST_SKIP() << "no display (DISPLAY and WAYLAND_DISPLAY unset): the window cannot be shown";
  }

  GtkWidget* Control(const char* Name) { return FindNamed(GTK_WIDGET(FindWindow(kCaption)), Name); }
  GtkComboBox* List(const char* Name) { return GTK_COMBO_BOX(Control(Name)); }
  GtkTextView* LogText() { return GTK_TEXT_VIEW(Control("log-text")); }

  TRecordingHandlers Handlers;
  TWindowScript Script{kCaption};
  int TicksWithBoxOpen = 0;
  gint64 BoxSeen = 0;
};

TEST_F(LogViewerView, ShowsWhatTheLogicFillsAndReportsOnlyTheUsersActions) {
  Script.Then("the window shows", [&] { return FindWindow(kCaption) != nullptr; })
      .Then("the controls hold what FormCreate put there, and nothing reported it",
            [&] {
              EXPECT_EQ(EntriesOf(List("file-list")), (std::vector<std::string>{"a_2026.12.08.log", "b😀.log"}));
              EXPECT_EQ(ActiveEntry(List("file-list")), "b😀.log");
              EXPECT_EQ(EntriesOf(List("encoding-list")), (std::vector<std::string>{"UTF-8", "ANSI", "OEM"}));
              EXPECT_EQ(ActiveEntry(List("encoding-list")), "UTF-8");
              EXPECT_EQ(ShownText(LogText()), "x😀y\r\nz");
              EXPECT_EQ(CaretOffset(LogText()), 2) << "unit 3 is after the pair: character 2";
              EXPECT_FALSE(gtk_text_view_get_editable(LogText()));
              EXPECT_NE(Control("open-folder"), nullptr);
              EXPECT_EQ(Handlers.Events, std::vector<std::string>{"FormCreate"});
              return true;
            })
      .Then("the timer ticks and reads the caret in units",
            [&] {
              if (Handlers.Ticks == 0) return false;
              EXPECT_EQ(Handlers.CaretSeen, 3u);
              return true;
            })
      .Then("picking an encoding reports a change",
            [&] {
              gtk_combo_box_set_active(List("encoding-list"), 2);
              EXPECT_EQ(Handlers.Events.back(), "Change");
              EXPECT_EQ(Handlers.EncodingSeen, 2);
              EXPECT_EQ(Handlers.FileSeen, u"b😀.log");
              return true;
            })
      .Then("picking a file reports a change",
            [&] {
              gtk_combo_box_set_active(List("file-list"), 0);
              EXPECT_EQ(Handlers.Events.back(), "Change");
              EXPECT_EQ(Handlers.FileSeen, u"a_2026.12.08.log");
              return true;
            })
      .ThenScreenshot("LogViewerView")
      .Then("the folder button reports a click",
            [&] {
              // Clicked from a source of its own: the error box's loop runs inside the click.
              g_idle_add(
                  [](gpointer Button) {
                    gtk_button_clicked(GTK_BUTTON(Button));
                    return G_SOURCE_REMOVE;
                  },
                  Control("open-folder"));
              return true;
            })
      .Then("the error box shows the message over the window",
            [&] {
              GtkWindow* Box = FindWindow("Ошибка");
              if (Box == nullptr) return false;
              EXPECT_EQ(gtk_window_get_transient_for(Box), FindWindow(kCaption));
              EXPECT_TRUE(gtk_window_get_modal(Box));
              gchar* Message = nullptr;
              g_object_get(Box, "text", &Message, nullptr);
              EXPECT_STREQ(Message, "Папка логов недоступна");
              g_free(Message);
              EXPECT_EQ(Handlers.Events.back(), "OpenDir");
              TicksWithBoxOpen = Handlers.Ticks;
              BoxSeen = g_get_monotonic_time();
              return true;
            })
      .Then("no tick reaches the logic while its error box is open, which then closes",
            [&] {
              if (g_get_monotonic_time() - BoxSeen < 1500 * 1000) return false;
              EXPECT_EQ(Handlers.Ticks, TicksWithBoxOpen);
              gtk_dialog_response(GTK_DIALOG(FindWindow("Ошибка")), GTK_RESPONSE_OK);
              return true;
            })
      .Then("the handler goes on once the box is closed",
            [&] { return Handlers.Events.back() == "ErrorClosed" && FindWindow("Ошибка") == nullptr; })
      .Then("opening the file list reports it",
            [&] {
              gtk_combo_box_popup(List("file-list"));
              return Handlers.Events.back() == "DropDown";
            })
      .Then("the window closes", [&] {
        gtk_combo_box_popdown(List("file-list"));
        gtk_window_close(FindWindow(kCaption));
        return true;
      });
  Script.Start();
  os::ShowLogViewerWindow(Handlers);
  EXPECT_TRUE(Script.Finished());
  EXPECT_EQ(FindWindow(kCaption), nullptr) << "the window is gone once the call returns";
}

// A second window after the first: nothing of the first (its timer, its
// signals) reaches the handlers of the second, which closes by Escape.
TEST_F(LogViewerView, OpensAgainAndClosesByEscape) {
  for (int Round = 0; Round < 2; ++Round) {
    TRecordingHandlers Fresh;
    TWindowScript Escape{kCaption};
    Escape.Then("the window shows", [&] { return FindWindow(kCaption) != nullptr; }).Then("Escape closes it", [&] {
      GdkEvent* Key = gdk_event_new(GDK_KEY_PRESS);
      Key->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(FindWindow(kCaption)))));
      Key->key.keyval = GDK_KEY_Escape;
      gdk_event_set_device(Key, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
      gtk_main_do_event(Key);
      gdk_event_free(Key);
      return true;
    });
    Escape.Start();
    os::ShowLogViewerWindow(Fresh);
    EXPECT_TRUE(Escape.Finished()) << "round " << Round;
    EXPECT_EQ(Fresh.Events.front(), "FormCreate");
  }
}

}  // namespace
