// The temporary folder the help renderer works in, as TMPDIR names it, and
// what it removes from there: a process that may run as root takes TMPDIR from
// an environment another user may have set, and a folder of the temporary
// folder another user may reach.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "help/Help.TempFolder.h"
#include "help/uMarkdownRenderer.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "tests/support/FixtureArchive.h"
#include "tests/support/ScopedTempVariable.h"
#include "tests/support/SecondUser.posix.h"

namespace {

namespace fs = std::filesystem;
using helptest::TScopedTempVariable;
using testsupport::GiveToAttacker;
using testsupport::RunningAsRoot;

constexpr const char* kDefaultFolder = "/tmp";

TEST(HelpTempFolder, OnlyAnAbsoluteTmpDirCountsAndLosesItsTrailingSlashes) {
  const struct {
    std::optional<std::u16string> TmpDir;
    std::u16string Folder;
  } Cases[] = {
      {std::nullopt, u"/tmp"}, {u"", u"/tmp"}, {u"relative/tmp", u"/tmp"}, {u"/var/tmp///", u"/var/tmp"}, {u"/", u"/"},
  };
  for (const auto& Case : Cases) {
    const TScopedTempVariable TmpDir(Case.TmpDir);
    EXPECT_EQ(ToUtf8(help::SystemTempFolder()), ToUtf8(Case.Folder)) << ToUtf8(Case.TmpDir.value_or(u"(unset)"));
  }
}

TEST(HelpTempFolder, RendererFolderLiesInTheTemporaryFolder) {
  const TScopedTempVariable TmpDir(u"/var/tmp/");
  const TMarkdownRenderer Renderer(u"help", [](std::u16string_view) { return std::nullopt; });
  EXPECT_TRUE(Renderer.TempDirectory().starts_with(u"/var/tmp/{")) << ToUtf8(Renderer.TempDirectory());
}

// A folder of the test's own below /tmp (0700, like mkdtemp makes it), removed
// with everything in it; links in it are removed, never followed.
class ScratchFolder {
public:
  ScratchFolder() {
    char Template[] = "/tmp/orvex-help-test-XXXXXX";
    if (::mkdtemp(Template) != nullptr) FPath = Template;
  }
  ~ScratchFolder() {
    std::error_code Ignored;
    if (!FPath.empty()) fs::remove_all(FPath, Ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& Path() const { return FPath; }

private:
  fs::path FPath;
};

// Exactly Mode, whatever the umask.
fs::path MakeFolder(const fs::path& Path, mode_t Mode) {
  EXPECT_EQ(::mkdir(Path.c_str(), Mode), 0) << Path;
  EXPECT_EQ(::chmod(Path.c_str(), Mode), 0) << Path;
  return Path;
}

void WriteFile(const fs::path& Path, const std::string& Bytes) { std::ofstream(Path, std::ios::binary) << Bytes; }

std::string ReadFile(const fs::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

bool Exists(const fs::path& Path) {
  std::error_code Ignored;
  return fs::exists(fs::symlink_status(Path, Ignored));
}

std::string WithoutTrailingSlashes(std::string Path) {
  while (Path.size() > 1 && Path.back() == '/') Path.pop_back();
  return Path;
}

// TMPDIR is taken only for a folder nobody but root and this user controls:
// in any other, another user could swap the help's folder for a link while the
// window is open. Whatever is refused falls back to /tmp.
TEST(HelpTempFolder, TmpDirIsTakenOnlyForAFolderNoOtherUserControls) {
  const ScratchFolder Scratch;
  ASSERT_FALSE(Scratch.Path().empty());
  const fs::path Base = Scratch.Path();
  const struct {
    const char* Name;
    std::function<std::string()> Plant;  // answers TMPDIR's value
    bool Taken;
    bool NeedsSecondUser;
  } Cases[] = {
      {"own folder 0700", [&] { return MakeFolder(Base / "own", 0700).string(); }, true, false},
      {"own folder 0700 named with trailing slashes",
       [&] { return MakeFolder(Base / "own-slashes", 0700).string() + "//"; }, true, false},
      {"own sticky folder open to all", [&] { return MakeFolder(Base / "sticky", 01777).string(); }, true, false},
      {"own folder writable by its group", [&] { return MakeFolder(Base / "group", 0770).string(); }, false, false},
      {"own folder writable by all, not sticky", [&] { return MakeFolder(Base / "open", 0777).string(); }, false,
       false},
      {"another user's folder",
       [&] {
         const fs::path Folder = MakeFolder(Base / "others", 0700);
         EXPECT_TRUE(GiveToAttacker(Folder.c_str()));
         return Folder.string();
       },
       false, true},
      {"another user's sticky folder",
       [&] {
         const fs::path Folder = MakeFolder(Base / "others-sticky", 01777);
         EXPECT_TRUE(GiveToAttacker(Folder.c_str()));
         return Folder.string();
       },
       false, true},
      {"a link to an own folder",
       [&] {
         fs::create_directory_symlink(MakeFolder(Base / "linked", 0700), Base / "link");
         return (Base / "link").string();
       },
       false, false},
      {"a link to an own folder named with a trailing slash",
       [&] {
         fs::create_directory_symlink(MakeFolder(Base / "linked-slash", 0700), Base / "link-slash");
         return (Base / "link-slash").string() + "/";
       },
       false, false},
      {"a missing folder", [&] { return (Base / "missing").string(); }, false, false},
      {"a regular file",
       [&] {
         WriteFile(Base / "file", "x");
         return (Base / "file").string();
       },
       false, false},
      {"a relative path to an own folder",
       [&] { return fs::relative(MakeFolder(Base / "relative", 0700), fs::current_path()).string(); }, false, false},
  };
  for (const auto& Case : Cases) {
    if (Case.NeedsSecondUser && !RunningAsRoot()) {
      std::cout << "skipped \"" << Case.Name << "\": needs root for a second user\n";
      continue;
    }
    const std::string TmpDir = Case.Plant();
    const TScopedTempVariable Variable(FromUtf8(TmpDir));
    EXPECT_EQ(ToUtf8(help::SystemTempFolder()), Case.Taken ? WithoutTrailingSlashes(TmpDir) : kDefaultFolder)
        << Case.Name;
  }
}

// /tmp is checked too: when not even it can be trusted there is no help
// folder, and the reason is given. Played in a forked child's private mount
// namespace with a scratch /tmp open to all but not sticky; the child answers
// through a pipe.
enum class TDefaultOutcome { Refused, Made, NoNamespace };

TDefaultOutcome PlayUntrustedDefault(std::string& Report) {
  if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      ::mount("none", "/tmp", "tmpfs", 0, "mode=0777") != 0)
    return TDefaultOutcome::NoNamespace;
  ::unsetenv("TMPDIR");
  try {
    const TMarkdownRenderer Renderer(u"help", [](std::u16string_view) { return std::nullopt; });
    Report = ToUtf8(Renderer.TempDirectory());
    return TDefaultOutcome::Made;
  } catch (const Exception& E) {
    Report = ToUtf8(E.Message());
    return TDefaultOutcome::Refused;
  }
}

TEST(HelpTempFolder, UntrustedDefaultFolderFailsWithItsReason) {
  if (!RunningAsRoot()) GTEST_SKIP() << "needs root for a private mount namespace";
  int Pipe[2];
  ASSERT_EQ(::pipe(Pipe), 0);
  const pid_t Child = ::fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    std::string Report;
    const auto Outcome = static_cast<int>(PlayUntrustedDefault(Report));
    const bool Written = ::write(Pipe[1], Report.data(), Report.size()) == static_cast<ssize_t>(Report.size());
    ::_exit(Written ? Outcome : 100);
  }
  ::close(Pipe[1]);
  std::string Report;
  char Buffer[512];
  for (ssize_t Read; (Read = ::read(Pipe[0], Buffer, sizeof Buffer)) > 0;) Report.append(Buffer, Buffer + Read);
  ::close(Pipe[0]);
  int Status = 0;
  ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
  ASSERT_TRUE(WIFEXITED(Status));
  const auto Outcome = static_cast<TDefaultOutcome>(WEXITSTATUS(Status));
  if (Outcome == TDefaultOutcome::NoNamespace) GTEST_SKIP() << "this machine gives no private mount namespace";
  EXPECT_EQ(Outcome, TDefaultOutcome::Refused) << Report;
  EXPECT_EQ(Report, "No temporary folder can be used: /tmp is writable by group or others and not sticky");
}

// TMPDIR pointed at a scratch folder of the test's own, where the help's
// folders are made and planted.
class HelpFolderInTemp : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(FScratch.Path().empty());
    FTemp = MakeFolder(FScratch.Path() / "temp", 0700);
    FVariable.emplace(FTemp.u16string());
  }

  const fs::path& Temp() const { return FTemp; }
  const fs::path& Scratch() const { return FScratch.Path(); }

  static TSourceLookup Manual() {
    return [Zip = helptest::MakeArchive({{"github.css", "body {}\n"}, {"help.md", "# Справка\n"}})](
               std::u16string_view Name) -> std::optional<std::string_view> {
      if (Name != u"help") return std::nullopt;
      return std::string_view(Zip);
    };
  }

private:
  ScratchFolder FScratch;
  fs::path FTemp;
  std::optional<TScopedTempVariable> FVariable;
};

// The names the help writes for this manual: a victim's files of these names
// are what a swapped folder would cost.
const char* const kHelpFileNames[] = {"md.zip", "github.css", "help.md", "md.html"};

// While the window is open the help's folder is swapped for a link to a folder
// of someone else's, or for another folder of the same name, each holding files
// of the help's names. Closing the window removes nothing of theirs.
TEST_F(HelpFolderInTemp, FolderSwappedWhileShownIsLeftAloneWithWhatItHolds) {
  const struct {
    const char* Name;
    std::function<void(const fs::path& Folder, const fs::path& Victim)> Swap;
  } Cases[] = {
      {"a link to the victim's folder",
       [](const fs::path& Folder, const fs::path& Victim) { fs::create_directory_symlink(Victim, Folder); }},
      {"the victim's folder itself",
       [](const fs::path& Folder, const fs::path& Victim) { fs::rename(Victim, Folder); }},
  };
  int Round = 0;
  for (const auto& Case : Cases) {
    const fs::path Victim = MakeFolder(Scratch() / ("victim-" + std::to_string(++Round)), 0755);
    for (const char* Name : kHelpFileNames) WriteFile(Victim / Name, "victim's");
    fs::path Folder;
    fs::path MovedAway;
    {
      TMarkdownRenderer Renderer(u"help", Manual());
      Folder = helptest::NativePath(Renderer.TempDirectory());
      Renderer.RenderPage();
      MovedAway = Scratch() / ("moved-" + std::to_string(Round));
      fs::rename(Folder, MovedAway);
      Case.Swap(Folder, Victim);
    }
    for (const char* Name : kHelpFileNames) EXPECT_EQ(ReadFile(Folder / Name), "victim's") << Case.Name << ": " << Name;
    EXPECT_TRUE(Exists(Folder)) << Case.Name;
    EXPECT_TRUE(Exists(MovedAway)) << Case.Name << ": a folder under another name is not the help's to remove";
  }
}

// The form the help names its folders by, one name per planted entry.
std::string GuidName(int Number) {
  char Last[13];
  std::snprintf(Last, sizeof Last, "%012X", static_cast<unsigned>(Number));
  return std::string("{0C8F3D2A-5B71-4E09-9A6D-") + Last + "}";
}

// Sets the entry's own times (a link's, not its target's) back by Back.
void Age(const fs::path& Path, std::chrono::seconds Back) {
  timespec Now{};
  ::clock_gettime(CLOCK_REALTIME, &Now);
  Now.tv_sec -= static_cast<time_t>(Back.count());
  const timespec Times[2] = {Now, Now};
  EXPECT_EQ(::utimensat(AT_FDCWD, Path.c_str(), Times, AT_SYMLINK_NOFOLLOW), 0) << Path;
}

fs::path HelpLikeFolder(const fs::path& Path) {
  MakeFolder(Path, 0700);
  for (const char* Name : kHelpFileNames) WriteFile(Path / Name, "left behind");
  return Path;
}

// A host that ended without closing the window leaves its folder: the next
// help shown removes such folders of this user's when they are a day old and
// hold nothing but files. Anything else in the temporary folder stays.
TEST_F(HelpFolderInTemp, HelpFoldersLeftForADayAreRemovedAndNothingElse) {
  using namespace std::chrono_literals;
  const fs::path Target = MakeFolder(Scratch() / "target", 0700);
  WriteFile(Target / "md.html", "target's");
  const struct {
    const char* Name;
    std::function<fs::path(const fs::path& Path)> Plant;  // Path has a name of the help's form
    std::chrono::seconds AgeOf;
    bool Removed;
    bool NeedsSecondUser;
  } Cases[] = {
      {"own folder of a day and more", HelpLikeFolder, 25h, true, false},
      {"own empty folder of a day and more", [](const fs::path& P) { return MakeFolder(P, 0700); }, 25h, true, false},
      {"own folder younger than a day", HelpLikeFolder, 23h, false, false},
      {"folder named in lower case",
       [](const fs::path& P) {
         std::string Name = P.filename().string();
         for (char& C : Name) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
         return HelpLikeFolder(P.parent_path() / Name);
       },
       25h, false, false},
      {"folder named without braces",
       [](const fs::path& P) {
         const std::string Name = P.filename().string();
         return HelpLikeFolder(P.parent_path() / Name.substr(1, Name.size() - 2));
       },
       25h, false, false},
      {"folder of another tool's name",
       [](const fs::path& P) { return HelpLikeFolder(P.parent_path() / ("v8host-" + P.filename().string())); }, 25h,
       false, false},
      {"another user's folder",
       [](const fs::path& P) {
         HelpLikeFolder(P);
         EXPECT_TRUE(GiveToAttacker(P.c_str()));
         return P;
       },
       25h, false, true},
      {"folder holding a folder",
       [](const fs::path& P) {
         HelpLikeFolder(P);
         MakeFolder(P / "style", 0700);
         return P;
       },
       25h, false, false},
      {"folder holding a link",
       [&](const fs::path& P) {
         MakeFolder(P, 0700);
         fs::create_symlink(Target / "md.html", P / "md.html");
         return P;
       },
       25h, false, false},
      {"folder holding a pipe",
       [](const fs::path& P) {
         HelpLikeFolder(P);
         EXPECT_EQ(::mkfifo((P / "pipe").c_str(), 0600), 0);
         return P;
       },
       25h, false, false},
      {"link to a folder",
       [&](const fs::path& P) {
         fs::create_directory_symlink(Target, P);
         return P;
       },
       25h, false, false},
      {"file",
       [](const fs::path& P) {
         WriteFile(P, "x");
         return P;
       },
       25h, false, false},
  };
  std::vector<fs::path> Planted;
  int Number = 0;
  for (const auto& Case : Cases) {
    if (Case.NeedsSecondUser && !RunningAsRoot()) {
      Planted.emplace_back();
      std::cout << "skipped \"" << Case.Name << "\": needs root for a second user\n";
      continue;
    }
    Planted.push_back(Case.Plant(Temp() / GuidName(++Number)));
    Age(Planted.back(), Case.AgeOf);
  }
  fs::path Made;
  {
    const TMarkdownRenderer Renderer(u"help", Manual());
    Made = helptest::NativePath(Renderer.TempDirectory());
    EXPECT_TRUE(fs::is_directory(Made));
  }
  for (std::size_t I = 0; I < Planted.size(); ++I) {
    if (Planted[I].empty()) continue;
    EXPECT_EQ(Exists(Planted[I]), !Cases[I].Removed) << Cases[I].Name << ": " << Planted[I];
    if (!Cases[I].Removed && fs::is_directory(fs::symlink_status(Planted[I])) &&
        fs::exists(fs::symlink_status(Planted[I] / "help.md"))) {
      EXPECT_EQ(ReadFile(Planted[I] / "help.md"), "left behind") << Cases[I].Name;
    }
  }
  EXPECT_EQ(ReadFile(Target / "md.html"), "target's");
  EXPECT_FALSE(Exists(Made));
}

// A window may stay open for days (and a page handed to the desktop's browser
// stays until the library goes): its folder is not abandoned however old it is.
TEST_F(HelpFolderInTemp, FolderOfALiveWindowIsKeptHoweverOld) {
  using namespace std::chrono_literals;
  TMarkdownRenderer Shown(u"help", Manual());
  const fs::path Folder = helptest::NativePath(Shown.RenderPage()).parent_path();
  Age(Folder, 48h);
  { const TMarkdownRenderer Next(u"help", Manual()); }
  for (const char* Name : kHelpFileNames) EXPECT_TRUE(Exists(Folder / Name)) << Name;
}

}  // namespace
