#pragma once
// Real-window tests of the GTK views. The window under test runs its own modal
// loop on the test's thread; the test drives it from inside that loop, as a
// user would: a script of steps polled from a GLib timeout, each waiting for
// what the user would see before acting. The test program links GTK itself;
// it is the same library the driver loads at run time.
#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

namespace windowtest {

// True when a display is named (DISPLAY or WAYLAND_DISPLAY); the window tests
// skip themselves otherwise.
bool HasDisplay();

// The shown top-level window with that caption, or none.
GtkWindow* FindWindow(const char* Caption);
// The widget of that name (gtk_widget_set_name) below Root, or none.
GtkWidget* FindNamed(GtkWidget* Root, const char* Name);

std::string ShownText(GtkTextView* View);
int CaretOffset(GtkTextView* View);
std::vector<std::string> EntriesOf(GtkComboBox* List);
std::string ActiveEntry(GtkComboBox* List);

// Saves the window as it shows on the screen into the build's screenshot
// folder, as NAME.png; the path saved, empty when it failed.
std::string SaveScreenshot(GtkWindow* Window, const std::string& Name);

// The share (0..1) of the window's pixels, as the screen shows them, that are
// dark enough to be text; negative when the window cannot be read back.
double DarkPixelShare(GtkWindow* Window);

// The key as the user presses it on the window (key-press-event).
void PressKey(GtkWindow* Window, guint KeyValue);

class TWindowScript {
public:
  // A step answers true once done; it is polled until then, for at most its time.
  using Step = std::function<bool()>;

  explicit TWindowScript(std::string Caption) : FCaption(std::move(Caption)) {}
  ~TWindowScript();
  TWindowScript(const TWindowScript&) = delete;
  TWindowScript& operator=(const TWindowScript&) = delete;

  TWindowScript& Then(std::string Name, Step Action, int TimeoutMs = 2000);
  // A step that saves the window's screenshot as Name.png (SaveScreenshot).
  TWindowScript& ThenScreenshot(std::string Name);
  // Polls the steps from the thread's default main loop; a step that runs out
  // of time fails the test and closes the window, so the test never hangs.
  void Start();
  bool Finished() const { return FNext == FSteps.size(); }

private:
  struct TStep {
    std::string Name;
    Step Action;
    int TimeoutMs;
  };
  static gboolean Poll(gpointer Self);
  static gboolean OnDrawn(GtkWidget* Window, cairo_t* Cairo, gpointer Self);
  bool PollOnce();

  std::string FCaption;
  std::vector<TStep> FSteps;
  std::size_t FNext = 0;
  gint64 FStepStarted = 0;
  guint FSource = 0;
  gulong FDrawHandler = 0;
  bool FDrawn = false;
};

}  // namespace windowtest
