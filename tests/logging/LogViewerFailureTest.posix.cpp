// Where the log viewer cannot be shown, the action fails with the reason and
// the host goes on. Each case runs in a child process of its own: the
// conditions (no display, GTK 2 in the process) cannot be undone once made,
// and GTK 3 must not be loaded beside GTK 2. This program does not link GTK.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "platform/Exception.h"
#include "platform/Text.h"
#include "platform/posix/Gtk.posix.h"
#include "tests/support/ChildProcess.posix.h"
#include "tests/support/HostTestSupport.h"

namespace hosttest {
namespace {

std::string ViewLogAsTheHostDoes() { return ActionAsTheHostDoes(u"ViewLog"); }

void WithoutDisplay() {
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
}

TEST(LogViewerUnavailable, TheActionFailsWithTheReasonAndTheHostGoesOn) {
  const struct {
    const char* Name;
    std::function<void()> Prepare;
    const char* Reason;
  } Cases[] = {
      {"no display named", WithoutDisplay, "нет графического дисплея"},
      {"a display that does not answer",
       [] {
         WithoutDisplay();
         ::setenv("DISPLAY", ":4093", 1);
       },
       "не удалось подключиться к графическому дисплею"},
      // A stand-in with GTK 2's name is enough: the driver must not even load GTK 3 beside it.
      {"GTK 2 in the process",
       [] {
         if (::dlopen(GTK2_STAND_IN_PATH, RTLD_NOW | RTLD_GLOBAL) == nullptr) ::_exit(4);
       },
       "в процессе уже загружена библиотека GTK 2"},
  };
  for (const auto& Case : Cases) {
    const TChildResult Child = RunInChild([&] {
      Case.Prepare();
      return ViewLogAsTheHostDoes();
    });
    EXPECT_TRUE(Child.Exited) << Case.Name << ": the child ended by signal " << Child.Status;
    EXPECT_EQ(Child.Status, 0) << Case.Name;
    const std::string Expected = std::string("false|1001|Окно не может быть показано: ") + Case.Reason;
    EXPECT_EQ(Child.Report.rfind(Expected, 0), 0u) << Case.Name << ": " << Child.Report;
    EXPECT_TRUE(Child.Report.ends_with("|ok")) << Case.Name << ": " << Child.Report;
  }
}

// A machine without GTK 3: the loader is given a library name that exists nowhere.
TEST(LogViewerUnavailable, NoGtk3Installed) {
  try {
    os::gtk::OpenGtk("libgtk-3-absent.so.0");
    ADD_FAILURE() << "a library that does not exist was opened";
  } catch (const Exception& Error) {
    EXPECT_EQ(ToUtf8(Error.Message()),
              "Окно не может быть показано: библиотека GTK 3 (libgtk-3-absent.so.0) не установлена");
  }
}

}  // namespace
}  // namespace hosttest
