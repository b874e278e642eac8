// A local user against the class registry of a driver that may run as root:
// whatever another user can write must never reach dlopen(). As root the
// attacker is a real second user (nobody) who plants files in a sticky folder
// open to all, as /tmp is; otherwise the attacks that need a second user skip.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <tuple>

#include "platform/AutomationProvider.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "tests/support/CommonSupport.h"
#include "tests/support/SecondUser.posix.h"

namespace {

namespace fs = std::filesystem;
using testsupport::AsAttacker;
using testsupport::RunningAsRoot;

constexpr char16_t kStore[] = u"Orvex.TestStore";
// Whatever is planted must be refused before anything could block on it.
constexpr unsigned kHangLimitSeconds = 10;

// The places of one attack. Base and everything root makes below it are 0755
// and root's; Shared is sticky and open to all, where the attacker plants.
struct Places {
  fs::path Base, Shared, Registry, Entry, Provider;
};

void MakeFolder(const fs::path& Folder, fs::perms Rights) {
  fs::create_directories(Folder);
  fs::permissions(Folder, Rights);
}

constexpr fs::perms kRootFolder = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec;
constexpr fs::perms kSharedFolder = fs::perms::all | fs::perms::sticky_bit;

// The attacker's copy of the provider library, in a folder of its own below Shared.
bool PlantAttackersLibrary(const Places& At) {
  return AsAttacker([&At] {
    std::error_code Failed;
    fs::create_directory(At.Shared / "evil", Failed);
    fs::permissions(At.Shared / "evil", kRootFolder, Failed);
    return !Failed && fs::copy_file(At.Provider, At.Shared / "evil" / "lib.so", Failed);
  });
}

void WriteEntry(const Places& At, const std::string& Content) {
  fs::remove(At.Entry);
  std::ofstream(At.Entry) << Content;
  fs::permissions(At.Entry,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
}

std::u16string Quoted(const fs::path& Path) { return u"\"" + FromUtf8(Path.string()) + u"\""; }

std::u16string EntryRefusal(const Places& At) {
  return u"The entry of the automation class \"Orvex.TestStore\" is refused: " + Quoted(At.Entry);
}

std::u16string ProviderRefusal(const fs::path& Provider) {
  return u"The automation provider " + Quoted(Provider) + u" of the class \"Orvex.TestStore\" is refused: " +
         Quoted(Provider);
}

constexpr char16_t kNotOwned[] = u" is owned by a user other than root and this process's user";
constexpr char16_t kWritable[] = u" is writable by group or others";

struct AttackCase {
  const char* Name;
  bool NeedsSecondUser;
  // Plants the attack (as root, with AsAttacker for the second user's part);
  // false when it could not be planted.
  bool (*Plant)(const Places& At);
  std::u16string (*Refusal)(const Places& At);
};

void PrintTo(const AttackCase& Case, std::ostream* Out) { *Out << Case.Name; }

const AttackCase kAttacks[] = {
    {"RegistryFolderWritableByAll", false, [](const Places& At) { return ::chmod(At.Registry.c_str(), 0777) == 0; },
     [](const Places& At) { return u"The automation class registry is refused: " + Quoted(At.Registry) + kWritable; }},
    // Sticky is no excuse for the registry itself: another user could add
    // entries of its own there.
    {"RegistryFolderStickyAndWritableByAll", false,
     [](const Places& At) { return ::chmod(At.Registry.c_str(), 01777) == 0; },
     [](const Places& At) { return u"The automation class registry is refused: " + Quoted(At.Registry) + kWritable; }},
    {"RegistryFolderWritableByGroup", false, [](const Places& At) { return ::chmod(At.Registry.c_str(), 0775) == 0; },
     [](const Places& At) { return u"The automation class registry is refused: " + Quoted(At.Registry) + kWritable; }},
    {"EntryOwnedByAnotherUser", true,
     [](const Places& At) {
       const passwd* Nobody = ::getpwnam("nobody");
       return Nobody != nullptr && ::chown(At.Entry.c_str(), Nobody->pw_uid, Nobody->pw_gid) == 0;
     },
     [](const Places& At) { return EntryRefusal(At) + kNotOwned; }},
    {"EntryWritableByOthers", false, [](const Places& At) { return ::chmod(At.Entry.c_str(), 0646) == 0; },
     [](const Places& At) { return EntryRefusal(At) + kWritable; }},
    {"EntryWritableByGroup", false, [](const Places& At) { return ::chmod(At.Entry.c_str(), 0664) == 0; },
     [](const Places& At) { return EntryRefusal(At) + kWritable; }},
    {"EntryLinkedToAnotherUsersFile", true,
     [](const Places& At) {
       const fs::path Planted = At.Shared / "entry";
       const std::string Provider = At.Provider.string();
       if (!AsAttacker([&] { return static_cast<bool>(std::ofstream(Planted) << Provider); })) return false;
       fs::remove(At.Entry);
       fs::create_symlink(Planted, At.Entry);
       return true;
     },
     [](const Places& At) {
       return EntryRefusal(At) + u" (real path " + Quoted(At.Shared / "entry") + u")" + kNotOwned;
     }},
    {"EntryIsAFifo", false,
     [](const Places& At) { return fs::remove(At.Entry) && ::mkfifo(At.Entry.c_str(), 0644) == 0; },
     [](const Places& At) { return EntryRefusal(At) + u" is not a regular file"; }},
    {"EntryIsAFolder", false, [](const Places& At) { return fs::remove(At.Entry) && fs::create_directory(At.Entry); },
     [](const Places& At) { return EntryRefusal(At) + u" is not a regular file"; }},
    {"EntryIsHuge", false,
     [](const Places& At) {
       WriteEntry(At, At.Provider.string() + std::string(1 << 20, '\n'));
       return true;
     },
     [](const Places& At) {
       return u"The entry of the automation class \"Orvex.TestStore\" is refused: Cannot read the file " +
              FromUtf8(At.Entry.string()) + u": larger than 8192 bytes";
     }},
    {"LibraryInAnotherUsersFolder", true,
     [](const Places& At) {
       if (!PlantAttackersLibrary(At)) return false;
       WriteEntry(At, (At.Shared / "evil" / "lib.so").string() + "\n");
       return true;
     },
     [](const Places& At) {
       return ProviderRefusal(At.Shared / "evil" / "lib.so") + u": the folder " + Quoted(At.Shared / "evil") +
              kNotOwned;
     }},
    // The link itself may sit in a sticky folder; where it leads is what counts.
    {"LibraryPathLinkedThroughAnotherUsersFolder", true,
     [](const Places& At) {
       if (!PlantAttackersLibrary(At)) return false;
       if (!AsAttacker([&At] {
             std::error_code Failed;
             fs::create_directory_symlink(At.Shared / "evil", At.Shared / "link", Failed);
             return !Failed;
           }))
         return false;
       WriteEntry(At, (At.Shared / "link" / "lib.so").string() + "\n");
       return true;
     },
     [](const Places& At) {
       return ProviderRefusal(At.Shared / "link" / "lib.so") + u" (real path " + Quoted(At.Shared / "evil" / "lib.so") +
              u"): the folder " + Quoted(At.Shared / "evil") + kNotOwned;
     }},
    {"LibraryWritableByOthers", false,
     [](const Places& At) {
       MakeFolder(At.Base / "libs", kRootFolder);
       fs::copy_file(At.Provider, At.Base / "libs" / "lib.so");
       WriteEntry(At, (At.Base / "libs" / "lib.so").string() + "\n");
       return ::chmod((At.Base / "libs" / "lib.so").c_str(), 0666) == 0;
     },
     [](const Places& At) { return ProviderRefusal(At.Base / "libs" / "lib.so") + kWritable; }},
    {"LibraryIsAFolder", false,
     [](const Places& At) {
       WriteEntry(At, At.Base.string() + "\n");
       return true;
     },
     [](const Places& At) { return ProviderRefusal(At.Base) + u" is not a regular file"; }},
};

class RegistryTrust : public ::testing::Test {
protected:
  void SetUp() override {
    At.Base = fs::path(TEST_REGISTRY_PARENT) / ("trust-" + std::to_string(::getpid()));
    At.Shared = At.Base / "shared";
    At.Registry = At.Base / "registry";
    At.Entry = At.Registry / "Orvex.TestStore";
    At.Provider = TEST_PROVIDER_PATH;
    fs::remove_all(At.Base);
    MakeFolder(At.Base, kRootFolder);
    MakeFolder(At.Shared, kSharedFolder);
    ::setenv("ORVEX_AUTOMATION_REGISTRY", At.Registry.c_str(), 1);
    automation::RegisterClass(kStore, FromUtf8(At.Provider.string()));
  }
  void TearDown() override {
    ::unsetenv("ORVEX_AUTOMATION_REGISTRY");
    fs::remove_all(At.Base);
  }

  // The second user must be able to reach Shared.
  void SkipUnlessAttackerCanReachShared() {
    if (!RunningAsRoot()) GTEST_SKIP() << "needs root to act as a second user (nobody)";
    for (fs::path Up = At.Base.parent_path(); Up != Up.root_path(); Up = Up.parent_path()) {
      struct stat Info {};
      if (::stat(Up.c_str(), &Info) != 0 || (Info.st_mode & S_IXOTH) == 0)
        GTEST_SKIP() << Up << " cannot be passed by another user";
    }
  }

  Places At;
};

std::u16string CreationFailure() {
  ::alarm(kHangLimitSeconds);
  std::u16string Failure = testsupport::FailureOf([] { automation::CreateObject(kStore); });
  ::alarm(0);
  return Failure;
}

// Each attack planted on a class never created before, and on one created
// once already: a class the process has checked is checked again as soon as
// anything about its registration changed.
class RegistryAttack : public RegistryTrust, public ::testing::WithParamInterface<std::tuple<AttackCase, bool>> {};

TEST_P(RegistryAttack, IsRefusedWithTheRuleItBreaks) {
  const auto& [Case, CreatedBefore] = GetParam();
  if (Case.NeedsSecondUser) SkipUnlessAttackerCanReachShared();
  if (IsSkipped()) return;
  if (CreatedBefore) {
    ASSERT_NE(automation::CreateObject(kStore), nullptr);
  }
  ASSERT_TRUE(Case.Plant(At)) << "the attack could not be planted";
  EXPECT_EQ(CreationFailure(), Case.Refusal(At));
}

INSTANTIATE_TEST_SUITE_P(Planted, RegistryAttack, ::testing::Combine(::testing::ValuesIn(kAttacks), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<AttackCase, bool>>& Info) {
                           return std::string(std::get<0>(Info.param).Name) +
                                  (std::get<1>(Info.param) ? "_AfterACreation" : "");
                         });

// The provider library alone changing its rights after a creation: the entry
// and the folder are as they were, and still the library is checked again.
TEST_F(RegistryTrust, ALibraryOthersMayWriteAfterACreationIsRefusedUntilItIsTrustedAgain) {
  const fs::path Library = At.Base / "libs" / "lib.so";
  MakeFolder(Library.parent_path(), kRootFolder);
  fs::copy_file(At.Provider, Library);
  automation::RegisterClass(kStore, FromUtf8(Library.string()));
  ASSERT_NE(automation::CreateObject(kStore), nullptr);
  ASSERT_EQ(::chmod(Library.c_str(), 0664), 0);
  EXPECT_EQ(CreationFailure(), ProviderRefusal(Library) + kWritable);
  ASSERT_EQ(::chmod(Library.c_str(), 0644), 0);
  EXPECT_NE(automation::CreateObject(kStore), nullptr);
}

// A sticky folder owned by root, like /tmp, may be above the registry and the
// library: in it only an entry's owner may rename or remove the entry. A link
// on the library's path is followed to where it leads, and that is loaded.
TEST_F(RegistryTrust, StickyRootFoldersAboveAndTrustedLinksAreAccepted) {
  const fs::path Registry = At.Shared / "registry";
  ::setenv("ORVEX_AUTOMATION_REGISTRY", Registry.c_str(), 1);
  fs::create_directory_symlink(At.Provider.parent_path(), At.Shared / "provider-folder");
  automation::RegisterClass(kStore, FromUtf8((At.Shared / "provider-folder" / At.Provider.filename()).string()));
  EXPECT_NE(automation::CreateObject(kStore), nullptr);
}

// Registration must not leave what the rules refuse, whatever the umask.
TEST_F(RegistryTrust, RegistrationMakesFoldersAndEntriesOnlyTheOwnerMayWrite) {
  const fs::path Registry = At.Base / "made" / "below";
  ::setenv("ORVEX_AUTOMATION_REGISTRY", Registry.c_str(), 1);
  const mode_t Saved = ::umask(0);
  automation::RegisterClass(kStore, FromUtf8(At.Provider.string()));
  ::umask(Saved);
  for (const fs::path& Folder : {At.Base / "made", Registry}) {
    struct stat Info {};
    ASSERT_EQ(::stat(Folder.c_str(), &Info), 0);
    EXPECT_EQ(Info.st_mode & 07777, 0755u) << Folder;
  }
  struct stat Info {};
  ASSERT_EQ(::stat((Registry / "Orvex.TestStore").c_str(), &Info), 0);
  EXPECT_EQ(Info.st_mode & 07777, 0644u);
  EXPECT_NE(automation::CreateObject(kStore), nullptr);
}

TEST_F(RegistryTrust, RegistrationRefusesARegistryOthersMayWrite) {
  ASSERT_EQ(::chmod(At.Registry.c_str(), 0777), 0);
  EXPECT_EQ(testsupport::FailureOf([] { automation::RegisterClass(u"Orvex.Other", FromUtf8(TEST_PROVIDER_PATH)); }),
            u"The automation class registry is refused: " + Quoted(At.Registry) + kWritable);
  EXPECT_FALSE(fs::exists(At.Registry / "Orvex.Other"));
}

// Unregistering for one provider leaves an entry another provider installed.
TEST_F(RegistryTrust, UnregisteringForAProviderLeavesOtherProvidersEntries) {
  automation::UnregisterClass(kStore, FromUtf8(TEST_NO_ENTRY_PATH));
  EXPECT_TRUE(fs::exists(At.Entry));
  automation::UnregisterClass(kStore, FromUtf8(At.Provider.string()));
  EXPECT_FALSE(fs::exists(At.Entry));
}

}  // namespace
