// Where another WebKit is already in the host's process, ours would bring it
// down: the help goes to the desktop's browser instead, and the page's folder
// stays for the browser until the next help. Each case runs in a child process
// of its own (a library once loaded stays), made to look like such a host by a
// library that only carries the other WebKit's name. The desktop's browser is
// a script registered as the default application for web pages in the child's
// own XDG folders, which writes down the files it was given. This program does
// not link GTK.
#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.posix.h"
#include "tests/support/HostTestSupport.h"

namespace hosttest {
namespace {

bool HasDisplay() {
  const char* Display = std::getenv("DISPLAY");
  return Display != nullptr && *Display != '\0';
}

// The child's desktop: a recording browser as the default for HTML files.
void UseRecordingBrowser(const std::filesystem::path& Home) {
  const std::filesystem::path Applications = Home / "data" / "applications";
  std::filesystem::create_directories(Applications);
  std::filesystem::create_directories(Home / "config");
  std::filesystem::create_directories(Home / "tmp");
  const std::filesystem::path Browser = Home / "browser";
  std::ofstream(Browser) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << (Home / "opened").string() << "'\n";
  std::filesystem::permissions(Browser, std::filesystem::perms::owner_all);
  std::ofstream(Applications / "orvex-recording-browser.desktop")
      << "[Desktop Entry]\nType=Application\nName=Recording browser\nExec=" << Browser.string()
      << " %f\nMimeType=text/html;\n";
  std::ofstream(Home / "config" / "mimeapps.list")
      << "[Default Applications]\ntext/html=orvex-recording-browser.desktop\n";
  ::setenv("XDG_DATA_HOME", (Home / "data").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (Home / "config").c_str(), 1);
  ::setenv("TMPDIR", (Home / "tmp").c_str(), 1);
}

// The files the browser was given, once it has been given Count of them.
std::vector<std::filesystem::path> OpenedFiles(const std::filesystem::path& Home, std::size_t Count) {
  std::vector<std::filesystem::path> Files;
  for (int Attempt = 0; Attempt < 200 && Files.size() < Count; ++Attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Files.clear();
    std::ifstream Opened(Home / "opened");
    for (std::string Line; std::getline(Opened, Line);) Files.emplace_back(Line);
  }
  return Files;
}

// Shows the help twice as the host does; answers what the host and the
// browser saw: "action|action|pages|first page kept until the second help|second page kept".
std::string ShowHelpTwice(const std::filesystem::path& Home) {
  const std::string First = ActionAsTheHostDoes(u"ShowHelp");
  const std::vector<std::filesystem::path> AfterFirst = OpenedFiles(Home, 1);
  const bool FirstKept = AfterFirst.size() == 1 && std::filesystem::exists(AfterFirst[0]);
  const std::string Second = ActionAsTheHostDoes(u"ShowHelp");
  const std::vector<std::filesystem::path> Pages = OpenedFiles(Home, 2);
  std::string Report = First + "|" + Second + "|" + std::to_string(Pages.size());
  if (Pages.size() != 2) return Report;
  const bool InTemporaryFolder = Pages[0].parent_path().parent_path() == Home / "tmp";
  return Report + "|" + (InTemporaryFolder && Pages[0].filename() == "md.html" ? "md.html" : Pages[0].string()) + "|" +
         (FirstKept && !std::filesystem::exists(Pages[0]) ? "replaced" : "not replaced") + "|" +
         (std::filesystem::exists(Pages[1]) ? "kept" : "gone");
}

TEST(HelpInBrowser, AnotherWebKitInTheProcessSendsTheHelpToTheBrowser) {
  if (!HasDisplay()) GTEST_SKIP() << "no display (DISPLAY unset): GTK cannot be opened";
  const struct {
    const char* Name;
    const char* StandIn;
  } Cases[] = {
      {"WebKitGTK 6", WEBKIT6_STAND_IN_PATH},
      {"the older build's JavaScriptCore", JAVASCRIPTCORE40_STAND_IN_PATH},
  };
  for (const auto& Case : Cases) {
    const std::filesystem::path Home =
        std::filesystem::temp_directory_path() / ("help-browser-" + std::to_string(::getpid()));
    const TChildResult Child = RunInChild([&] {
      UseRecordingBrowser(Home);
      if (::dlopen(Case.StandIn, RTLD_NOW | RTLD_GLOBAL) == nullptr) ::_exit(4);
      return ShowHelpTwice(Home);
    });
    std::filesystem::remove_all(Home);
    EXPECT_TRUE(Child.Exited) << Case.Name << ": the child ended by signal " << Child.Status;
    EXPECT_EQ(Child.Status, 0) << Case.Name;
    EXPECT_EQ(Child.Report, "true|0||ok|true|0||ok|2|md.html|replaced|kept") << Case.Name;
  }
}

}  // namespace
}  // namespace hosttest
