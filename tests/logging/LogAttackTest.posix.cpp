// A local user against the log of a driver that may run as root, and against
// its viewer, which shows the person at the screen what it reads. The base
// folder is shared like /var/tmp/ProgramData (sticky, writable by all); the
// attacker plants links, FIFOs and folders of its own in the log's way. As root
// the attacker is a real second user (nobody); otherwise the attacks that need
// a second user are skipped and the others are planted by the test's own user.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "LogTestSupport.h"
#include "RecordingControls.h"
#include "logging/ufmLog.h"
#include "platform/Exception.h"
#include "platform/Os.h"
#include "platform/Text.h"
#include "tests/support/SecondUser.posix.h"

namespace logtest {
namespace {

struct stat StatOf(const fs::path& Path) {
  struct stat Info {};
  ::lstat(Path.c_str(), &Info);
  return Info;
}

using testsupport::AsAttacker;
using testsupport::BecomeAttacker;
using testsupport::RunningAsRoot;

// Runs one logged line in a child process that must finish within the time
// given: a log writer that blocks on something planted would hang the host.
bool LogsWithoutHanging(std::chrono::seconds Limit) {
  const pid_t Child = ::fork();
  if (Child < 0) return false;
  if (Child == 0) {
    ::alarm(static_cast<unsigned>(Limit.count()));
    WriteLog(u"line while attacked", u"", TLogLevel::llError);
    ::_exit(0);
  }
  int Status = 0;
  return ::waitpid(Child, &Status, 0) == Child && WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
}

std::string LogPathError(bool FolderOnly) {
  try {
    GetLogPath(FolderOnly);
  } catch (const Exception& E) {
    return ToUtf8(E.Message());
  }
  return "no error";
}

class LogAttackTest : public LogTest {
protected:
  void SetUp() override {
    LogTest::SetUp();
    // Shared like the real base folder; the attacker must reach it.
    fs::permissions(AppData(), fs::perms::all | fs::perms::sticky_bit);
    for (fs::path Up = AppData().parent_path(); Up != Up.root_path(); Up = Up.parent_path())
      if ((StatOf(Up).st_mode & S_IXOTH) == 0) GTEST_SKIP() << Up << " cannot be passed by another user";
    // What an attacker would love root to write to: a root-only file and folder.
    Victim = AppData() / "victim";
    std::ofstream(Victim) << "untouched";
    fs::permissions(Victim, fs::perms::owner_read | fs::perms::owner_write);
    VictimFolder = AppData() / "victim-folder";
    fs::create_directory(VictimFolder);
    fs::permissions(VictimFolder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
    SetLogMode(TLogMode::lmAll);
  }

  void ExpectVictimsUntouched() {
    EXPECT_EQ(ReadFileBytes(Victim), "untouched");
    EXPECT_EQ(StatOf(VictimFolder).st_mode & 07777, 0755u);
    EXPECT_TRUE(fs::is_empty(VictimFolder));
  }

  fs::path Victim;
  fs::path VictimFolder;
};

// Nothing of root's went into an entry the attacker made, and its rights stayed.
void ExpectAttackersEntryUntouched(const fs::path& Entry) {
  const struct stat Info = StatOf(Entry);
  if (Info.st_uid == 0 || !fs::exists(fs::symlink_status(Entry))) return;
  if (S_ISDIR(Info.st_mode)) {
    EXPECT_EQ(Info.st_mode & 07777, 0777u) << Entry;
    EXPECT_TRUE(fs::is_empty(Entry)) << Entry;
  } else {
    EXPECT_EQ(Info.st_mode & 07777, 0666u) << Entry;
    EXPECT_EQ(Info.st_size, 0) << Entry;
  }
}

// The paths of one attack.
struct Places {
  fs::path Vendor, Folder, DayFile, Victim, VictimFolder;
};

// How far root got before the attack.
enum class Before { Nothing, VendorFolder, LogFolder };

struct AttackCase {
  const char* Name;
  bool NeedsSecondUser;
  Before Stage;
  bool (*Plant)(const Places& At);
  bool FolderOnly;           // which path GetLogPath must refuse
  const char* ExpectedWord;  // in the refusal
};

class LogAttackCaseTest : public LogAttackTest, public ::testing::WithParamInterface<AttackCase> {
protected:
  Places At() const { return {VendorFolder(), LogFolder(), LogFile(), Victim, VictimFolder}; }
  void Prepare(Before Stage) {
    if (Stage == Before::Nothing) return;
    GetLogPath(true);
    if (Stage == Before::VendorFolder) fs::remove(LogFolder());
  }
};

TEST_P(LogAttackCaseTest, NothingIsWrittenElsewhereNothingHangsAndTheUntrustedPathIsNamed) {
  const AttackCase& Case = GetParam();
  if (Case.NeedsSecondUser && !RunningAsRoot()) GTEST_SKIP() << "needs root to act as a second user";
  Prepare(Case.Stage);
  const Places Where = At();
  ASSERT_TRUE(AsAttacker([&] { return Case.Plant(Where); })) << "the attack could not be planted";

  EXPECT_TRUE(LogsWithoutHanging(std::chrono::seconds(10)));
  TakeLogLossReason();
  WriteLog(u"another line", u"", TLogLevel::llError);
  ExpectVictimsUntouched();
  const std::string Error = LogPathError(Case.FolderOnly);
  EXPECT_NE(Error.find("cannot be trusted"), std::string::npos) << Error;
  EXPECT_NE(Error.find(Case.ExpectedWord), std::string::npos) << Error;
  // The lost line is not lost silently: the next outcome and the description say why.
  const std::string Loss = ToUtf8(TakeLogLossReason());
  EXPECT_NE(Loss.find(Case.ExpectedWord), std::string::npos) << Loss;
  EXPECT_EQ(TakeLogLossReason(), u"") << "told once";
  const TLogFolderState Described = DescribeLogFolder();
  EXPECT_NE(ToUtf8(Described.Problem).find(Case.ExpectedWord), std::string::npos) << ToUtf8(Described.Problem);
  EXPECT_EQ(Described.Folder, FromUtf8(LogFolder().string() + "/"));
  if (Case.NeedsSecondUser)
    for (const fs::path& Entry : {Where.Vendor, Where.Folder, Where.DayFile}) ExpectAttackersEntryUntouched(Entry);
}

bool MakeOpenFolder(const fs::path& Path) {
  return ::mkdir(Path.c_str(), 0777) == 0 && ::chmod(Path.c_str(), 0777) == 0;
}

const AttackCase AttackCases[] = {
    {"SymlinkAsDayFile", false, Before::LogFolder,
     [](const Places& At) { return ::symlink(At.Victim.c_str(), At.DayFile.c_str()) == 0; }, false, "symbolic link"},
    {"FifoAsDayFile", false, Before::LogFolder,
     [](const Places& At) { return ::mkfifo(At.DayFile.c_str(), 0666) == 0; }, false, "not a regular file"},
    {"FolderAsDayFile", false, Before::LogFolder, [](const Places& At) { return MakeOpenFolder(At.DayFile); }, false,
     "not a regular file"},
    {"SymlinkedLogFolder", false, Before::VendorFolder,
     [](const Places& At) { return ::symlink(At.VictimFolder.c_str(), At.Folder.c_str()) == 0; }, true,
     "symbolic link"},
    {"SymlinkedVendorFolder", false, Before::Nothing,
     [](const Places& At) { return ::symlink(At.VictimFolder.c_str(), At.Vendor.c_str()) == 0; }, true,
     "symbolic link"},
    {"SecondUsersVendorFolder", true, Before::Nothing, [](const Places& At) { return MakeOpenFolder(At.Vendor); }, true,
     "belongs to another user"},
    {"SecondUsersLogFolder", true, Before::VendorFolder, [](const Places& At) { return MakeOpenFolder(At.Folder); },
     true, "belongs to another user"},
    {"SecondUsersDayFile", true, Before::LogFolder,
     [](const Places& At) {
       const int Fd = ::open(At.DayFile.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
       return Fd >= 0 && ::fchmod(Fd, 0666) == 0 && ::close(Fd) == 0;
     },
     false, "belongs to another user"},
};
INSTANTIATE_TEST_SUITE_P(Attacks, LogAttackCaseTest, ::testing::ValuesIn(AttackCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// A second name of a file the attacker cannot write would carry the lines there
// (where the system lets users link others' files, or for a file of root's own).
TEST_F(LogAttackTest, HardLinkedDayFileIsNotWritten) {
  GetLogPath(true);
  ASSERT_EQ(::link(Victim.c_str(), LogFile().c_str()), 0);
  TakeLogLossReason();
  WriteLog(u"line", u"", TLogLevel::llError);
  ExpectVictimsUntouched();
  EXPECT_NE(LogPathError(false).find("more than one name"), std::string::npos);
  EXPECT_NE(ToUtf8(TakeLogLossReason()).find("more than one name"), std::string::npos) << "the loss is told";
}

// The rights of a new folder are set on the open folder, never by path: a
// folder swapped for a link between its creation and its rights step must not
// hand the link's target to everybody. The attacker owns the vendor folder, so
// it can swap whatever root creates in it.
TEST_F(LogAttackTest, RacingTheFolderCreationNeverOpensAForeignFolder) {
  if (!RunningAsRoot()) GTEST_SKIP() << "needs root to act as a second user";
  const fs::path Vendor = VendorFolder(), Folder = LogFolder(), Moved = LogFolder().string() + ".moved";
  const fs::path Target = VictimFolder;
  const pid_t Attacker = ::fork();
  ASSERT_GE(Attacker, 0);
  if (Attacker == 0) {
    if (!BecomeAttacker() || ::mkdir(Vendor.c_str(), 0777) != 0 || ::chmod(Vendor.c_str(), 0777) != 0) ::_exit(1);
    // Bounded: the test stops it, and it stops by itself after a while.
    const auto Until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < Until) {
      ::rename(Folder.c_str(), Moved.c_str());
      ::symlink(Target.c_str(), Folder.c_str());
      ::unlink(Folder.c_str());
      ::rmdir(Moved.c_str());
    }
    ::_exit(0);
  }
  while (!fs::exists(Vendor)) std::this_thread::yield();
  int Rounds = 0, Refusals = 0;
  const auto Until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (; Rounds < 15000 && std::chrono::steady_clock::now() < Until; ++Rounds) {
    WriteLog(u"racing line", u"", TLogLevel::llError);
    try {
      GetLogPath(true);
    } catch (const Exception&) {
      ++Refusals;
    }
  }
  ::kill(Attacker, SIGKILL);
  ::waitpid(Attacker, nullptr, 0);
  ExpectVictimsUntouched();
  EXPECT_EQ(Refusals, Rounds) << "root used a folder the attacker controls";
}

// Every open of an entry of the folder, and of one file elsewhere, while it
// lives: what the viewer touched. Reading the kernel's own record needs no
// cooperation from the code watched.
class TOpenWatch {
public:
  TOpenWatch(const fs::path& Folder, const fs::path& File)
      : FNotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
        FFolder(::inotify_add_watch(FNotify, Folder.c_str(), IN_OPEN)),
        FFile(::inotify_add_watch(FNotify, File.c_str(), IN_OPEN)),
        FFileName(File.filename()) {}
  ~TOpenWatch() { ::close(FNotify); }
  TOpenWatch(const TOpenWatch&) = delete;
  TOpenWatch& operator=(const TOpenWatch&) = delete;

  bool Watching() const { return FNotify >= 0 && FFolder >= 0 && FFile >= 0; }

  // The names opened so far; the folder's own opens (its listing) name nothing
  // and are left out.
  std::vector<std::string> Opened() const {
    std::vector<std::string> Names;
    alignas(inotify_event) char Buffer[64 * 1024];
    for (ssize_t Length; (Length = ::read(FNotify, Buffer, sizeof Buffer)) > 0;) {
      for (const char* At = Buffer; At < Buffer + Length;) {
        const auto* Event = reinterpret_cast<const inotify_event*>(At);
        if (Event->wd == FFile) Names.push_back(FFileName);
        if (Event->wd == FFolder && Event->len > 0) Names.emplace_back(Event->name);
        At += sizeof(inotify_event) + Event->len;
      }
    }
    return Names;
  }

private:
  int FNotify;
  int FFolder;
  int FFile;
  std::string FFileName;
};

// An entry planted in the log folder under the name of a newer day, for the
// viewer of a driver running as root.
struct ViewerPlantCase {
  const char* Name;
  bool NeedsRoot;
  bool BySecondUser;  // else planted by the test itself
  bool (*Plant)(const fs::path& Entry, const fs::path& Victim);
  const char16_t* Reason;
  const char* SkipWhenRefused;  // null: a plant that fails fails the test
};

class LogViewerPlantTest : public LogAttackTest, public ::testing::WithParamInterface<ViewerPlantCase> {};

TEST_P(LogViewerPlantTest, TheEntryIsListedAsUnreadableWithItsReasonAndNeverOpened) {
  const ViewerPlantCase& Case = GetParam();
  if (Case.NeedsRoot && !RunningAsRoot()) GTEST_SKIP() << "needs root";
  GetLogPath(true);
  std::ofstream(LogFile()) << "the real day\r\n";
  const fs::path Planted = LogFile("2025.07.08");
  const fs::path Target = Victim;
  const auto Plant = [&] { return Case.Plant(Planted, Target); };
  if (!(Case.BySecondUser ? AsAttacker(Plant) : Plant())) {
    if (Case.SkipWhenRefused != nullptr) GTEST_SKIP() << Case.SkipWhenRefused;
    FAIL() << "the entry could not be planted";
  }
  const TOpenWatch Watch(LogFolder(), Victim);
  ASSERT_TRUE(Watch.Watching());
  const std::u16string RealDay = LogFile().filename().u16string();
  TfrmLog Form;
  TRecordingControls Controls;

  // A viewer that blocked on what was planted ends the program here rather
  // than hanging the run.
  ::alarm(10);
  Form.FormCreate(Controls);
  EXPECT_THAT(Controls.Files, ::testing::ElementsAre(RealDay, ::testing::AllOf(Mentions(Planted.filename().u16string()),
                                                                               Mentions(Case.Reason))));
  EXPECT_EQ(Controls.Selected, RealDay);
  EXPECT_EQ(Controls.Text, u"the real day\r\n");
  EXPECT_THAT(Controls.Errors, ::testing::IsEmpty());

  ASSERT_EQ(Controls.Files.size(), 2u);
  Controls.Selected = Controls.Files.back();
  Controls.Errors.clear();
  Form.cbbLogFilesChange(Controls);
  Form.tmrCheckFileTimer(Controls);
  ::alarm(0);
  EXPECT_THAT(Controls.Errors, ::testing::ElementsAre(Mentions(Case.Reason)));
  EXPECT_EQ(Controls.Text, u"the real day\r\n");
  EXPECT_THAT(Watch.Opened(), ::testing::Each(ToUtf8(RealDay)));
  ExpectVictimsUntouched();
}

const ViewerPlantCase ViewerPlantCases[] = {
    {"SymlinkToARootOnlyFile", false, true,
     [](const fs::path& Entry, const fs::path& Victim) { return ::symlink(Victim.c_str(), Entry.c_str()) == 0; },
     u"это символическая ссылка", nullptr},
    {"SymlinkToADevice", false, true,
     [](const fs::path& Entry, const fs::path&) { return ::symlink("/dev/zero", Entry.c_str()) == 0; },
     u"это символическая ссылка", nullptr},
    {"Fifo", false, true, [](const fs::path& Entry, const fs::path&) { return ::mkfifo(Entry.c_str(), 0666) == 0; },
     u"это не обычный файл", nullptr},
    {"CharacterDevice", true, false,
     [](const fs::path& Entry, const fs::path&) { return ::mknod(Entry.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
     u"это не обычный файл", "this machine lets no device node be made here"},
    {"FolderNamedLikeADayFile", false, true,
     [](const fs::path& Entry, const fs::path&) { return MakeOpenFolder(Entry); }, u"это не обычный файл", nullptr},
    {"HardLinkToARootOnlyFile", false, false,
     [](const fs::path& Entry, const fs::path& Victim) { return ::link(Victim.c_str(), Entry.c_str()) == 0; },
     u"у файла несколько имён", nullptr},
    {"SecondUsersFileOpenToOthers", true, true,
     [](const fs::path& Entry, const fs::path&) {
       const int Fd = ::open(Entry.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
       return Fd >= 0 && ::fchmod(Fd, 0666) == 0 && ::write(Fd, "planted\r\n", 9) == 9 && ::close(Fd) == 0;
     },
     u"файл принадлежит другому пользователю", nullptr},
};
INSTANTIATE_TEST_SUITE_P(Plants, LogViewerPlantTest, ::testing::ValuesIn(ViewerPlantCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// A user can make the shared folder unusable by putting a plain file in its
// place. With HOME unset the log then goes to the real home folder of the
// process's user, from the password database, and never below the root folder.
// Played in a private mount namespace, with /var/tmp and root's home on
// scratch file systems, so the machine's own folders are left alone.
struct FallbackCase {
  const char* Name;
  bool AsSecondUser;
  const char* ExpectedBase;  // null: no folder for the log at all
};

class LogFallbackTest : public ::testing::TestWithParam<FallbackCase> {};

constexpr const char* FallbackVendor = "OrvexFallbackTest";

// The exit code of a played case whose machine gives no private mount namespace.
constexpr int kNoNamespace = 10;

// In the child playing a case: /var/tmp and root's home replaced by scratch
// file systems in a mount namespace of its own.
bool EnterScratchMountNamespace() {
  return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         ::mount("none", "/var/tmp", "tmpfs", 0, "mode=1777") == 0 &&
         ::mount("none", "/root", "tmpfs", 0, "mode=700") == 0;
}

// Plays a case in a child process (its namespace and accounts end with it) and
// gives the child's verdict, or -1 when it did not exit.
int VerdictOfChild(const std::function<int()>& Play) {
  const pid_t Child = ::fork();
  if (Child < 0) return -1;
  if (Child == 0) ::_exit(Play());
  int Status = 0;
  if (::waitpid(Child, &Status, 0) != Child || !WIFEXITED(Status)) return -1;
  return WEXITSTATUS(Status);
}

// The child's verdict, one exit code each, so the parent can say what went wrong.
enum FallbackOutcome { Passed = 0, NoNamespace = kNoNamespace, WrongBase, NoDayFile, WroteBelowRoot, CannotPlant };

int PlayFallback(const FallbackCase& Case) {
  if (!EnterScratchMountNamespace()) return NoNamespace;
  if (!std::ofstream("/var/tmp/ProgramData").put('x')) return CannotPlant;
  for (const char* Name : {"HOME", "PROGRAMDATA", "XDG_STATE_HOME"}) ::unsetenv(Name);
  if (Case.AsSecondUser && !BecomeAttacker()) return CannotPlant;
  SetLogVendor(FromUtf8(FallbackVendor));
  SetLogComponentName(u"a_orvextx1c83n");
  SetLogMode(TLogMode::lmAll);
  WriteLog(u"line", u"", TLogLevel::llError);
  std::string Base;
  try {
    Base = ToUtf8(os::MachineAppDataFolder());
  } catch (const Exception&) {
  }
  if (fs::exists(fs::path("/") / FallbackVendor) || fs::exists(fs::path("/.local/state") / FallbackVendor))
    return WroteBelowRoot;
  if (Base != (Case.ExpectedBase ? Case.ExpectedBase : "")) return WrongBase;
  if (Case.ExpectedBase && fs::is_empty(fs::path(Base) / FallbackVendor / "a_orvextx1c83n")) return NoDayFile;
  return Passed;
}

TEST_P(LogFallbackTest, LogGoesToTheUsersRealHomeOrNowhere) {
  if (!RunningAsRoot()) GTEST_SKIP() << "needs root for a private mount namespace";
  const int Verdict = VerdictOfChild([] { return PlayFallback(GetParam()); });
  ASSERT_GE(Verdict, 0) << "the child did not exit";
  if (Verdict == NoNamespace) GTEST_SKIP() << "this machine gives no private mount namespace";
  EXPECT_EQ(Verdict, Passed) << "outcome " << Verdict
                             << " (11 wrong base, 12 no day file, 13 wrote below /, 14 cannot plant)";
}

const FallbackCase FallbackCases[] = {
    {"RootUsesItsHomeFromThePasswordDatabase", false, "/root/.local/state"},
    {"UserWithoutAHomeGetsNoLog", true, nullptr},
};
INSTANTIATE_TEST_SUITE_P(SharedFolderUnusable, LogFallbackTest, ::testing::ValuesIn(FallbackCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// A till shared by several accounts, none with an override: each keeps its log
// in a folder of its own below /var/tmp/ProgramData, whatever another account
// did there first, and describes it without a problem with logging off and on.
// Played in a private mount namespace like the fallback above.
struct SharedTillCase {
  const char* Name;
  bool SharedFolderMadeByRoot;  // as a machine's first start as root leaves it
  bool (*Before)();             // as the second account (nobody), before the account under test logs
  uid_t Account;                // the account under test: root, or a cashier with no entry of its own
  const char* ExpectedBase;
};

class LogSharedTillTest : public ::testing::TestWithParam<SharedTillCase> {};

constexpr const char* TillVendor = "OrvexSharedTillTest";
enum TillOutcome {
  TillPassed = 0,
  TillNoNamespace = kNoNamespace,
  TillCannotPlant,
  TillCannotBecome,
  TillWrongBase,
  TillNoDayFile,
  TillProblem,
  TillForeignFolderOpen
};

void StartLogging() {
  for (const char* Name : {"HOME", "PROGRAMDATA", "XDG_STATE_HOME"}) ::unsetenv(Name);
  SetLogVendor(FromUtf8(TillVendor));
  SetLogComponentName(u"a_orvextx1c83n");
  TakeLogLossReason();  // what the test process lost before the fork
}

bool LogsOneLine() {
  StartLogging();
  SetLogMode(TLogMode::lmAll);
  WriteLog(u"line", u"", TLogLevel::llError);
  return TakeLogLossReason().empty();
}

bool MakesOpenFolder(const char* Path) { return ::mkdir(Path, 0777) == 0 && ::chmod(Path, 0777) == 0; }

bool BecomeAccount(uid_t Account) {
  return Account == 0 || (::setgroups(0, nullptr) == 0 && ::setgid(Account) == 0 && ::setuid(Account) == 0);
}

int PlaySharedTill(const SharedTillCase& Case) {
  if (!EnterScratchMountNamespace()) return TillNoNamespace;
  if (Case.SharedFolderMadeByRoot &&
      (::mkdir("/var/tmp/ProgramData", 0700) != 0 || ::chmod("/var/tmp/ProgramData", 01777) != 0))
    return TillCannotPlant;
  if (!AsAttacker(Case.Before)) return TillCannotPlant;
  if (!BecomeAccount(Case.Account)) return TillCannotBecome;
  StartLogging();
  const TLogFolderState Off = DescribeLogFolder();
  if (!Off.Problem.empty()) return TillProblem;
  if (!LogsOneLine()) return TillProblem;
  const TLogFolderState On = DescribeLogFolder();
  if (!On.Problem.empty() || On.Folder != Off.Folder) return TillProblem;
  const fs::path Base = ToUtf8(os::MachineAppDataFolder());
  if (Base != Case.ExpectedBase) return TillWrongBase;
  if (fs::is_empty(Base / TillVendor / "a_orvextx1c83n")) return TillNoDayFile;
  // Nobody else may even look into this account's folder (asked as nobody, which
  // only root can become).
  if (Case.Account == 0 && !AsAttacker([&] { return ::access(Base.c_str(), X_OK) != 0; })) return TillForeignFolderOpen;
  return TillPassed;
}

TEST_P(LogSharedTillTest, EveryAccountLogsInAFolderOfItsOwn) {
  if (!RunningAsRoot()) GTEST_SKIP() << "needs root for a private mount namespace and other accounts";
  const int Verdict = VerdictOfChild([] { return PlaySharedTill(GetParam()); });
  ASSERT_GE(Verdict, 0) << "the child did not exit";
  if (Verdict == TillNoNamespace) GTEST_SKIP() << "this machine gives no private mount namespace";
  EXPECT_EQ(Verdict, TillPassed)
      << "outcome " << Verdict
      << " (11 cannot plant, 12 cannot become the account, 13 wrong base, 14 no day file, 15 a log problem, "
         "16 another account can enter the folder)";
}

const SharedTillCase SharedTillCases[] = {
    {"AnotherAccountLoggedFirst", true, &LogsOneLine, 0, "/var/tmp/ProgramData/root"},
    {"AnotherAccountMadeTheOldSharedFolder", true,
     [] { return MakesOpenFolder("/var/tmp/ProgramData/OrvexSharedTillTest"); }, 0, "/var/tmp/ProgramData/root"},
    // The name squatted: root's log goes to its home rather than into the squatter's folder.
    {"AnotherAccountTookThisAccountsName", true, [] { return MakesOpenFolder("/var/tmp/ProgramData/root"); }, 0,
     "/root/.local/state"},
    // The shared folder itself another account's: nothing of it is trusted.
    {"AnotherAccountMadeTheSharedFolder", false, &LogsOneLine, 0, "/root/.local/state"},
    {"TwoCashiers", true, &LogsOneLine, 54321, "/var/tmp/ProgramData/uid-54321"},
};
INSTANTIATE_TEST_SUITE_P(Accounts, LogSharedTillTest, ::testing::ValuesIn(SharedTillCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace logtest
