#include <windows.h>
#include <aclapi.h>

#include "LogTestSupport.h"
#include "logging/Common.BaseSecurity.h"
#include "platform/Os.h"

namespace logtest {

// Windows decides the machine-wide folder itself: the tests use the real one
// (inside the test prefix under Wine) and stay apart by their vendor words.
fs::path UseMachineAppData(const fs::path&) { return fs::path(os::MachineAppDataFolder()); }

void RestoreMachineAppData() {}

namespace {

struct TEveryoneEntries {
  int FullAccess = 0;       // entries for Everyone that allow creating and appending files
  int InheritedByBoth = 0;  // of those, the ones sub-folders and files inherit
  bool NoDacl = false;
};

TEveryoneEntries EveryoneEntriesOf(const fs::path& Folder) {
  TEveryoneEntries Entries;
  SID_IDENTIFIER_AUTHORITY World = SECURITY_WORLD_SID_AUTHORITY;
  PSID Everyone = nullptr;
  PACL Dacl = nullptr;
  PSECURITY_DESCRIPTOR Descriptor = nullptr;
  EXPECT_TRUE(::AllocateAndInitializeSid(&World, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &Everyone));
  EXPECT_EQ(::GetNamedSecurityInfoW(Folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &Dacl,
                                    nullptr, &Descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  Entries.NoDacl = Dacl == nullptr;
  for (DWORD Index = 0; Dacl != nullptr && Index < Dacl->AceCount; ++Index) {
    void* Entry = nullptr;
    if (!::GetAce(Dacl, Index, &Entry)) continue;
    const auto* Allowed = static_cast<const ACCESS_ALLOWED_ACE*>(Entry);
    PSID Sid = const_cast<DWORD*>(&Allowed->SidStart);
    // Windows may store GENERIC_ALL as given or map it to file rights (Wine leaves
    // out the owner and rights changes); either lets everybody create and append.
    constexpr DWORD Modify = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
    const bool Full = Allowed->Mask == GENERIC_ALL || (Allowed->Mask & Modify) == Modify;
    if (Allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || !Full || !::EqualSid(Sid, Everyone)) continue;
    ++Entries.FullAccess;
    constexpr BYTE Both = CONTAINER_INHERIT_ACE | OBJECT_INHERIT_ACE;
    if ((Allowed->Header.AceFlags & Both) == Both) ++Entries.InheritedByBoth;
  }
  ::LocalFree(Descriptor);
  ::FreeSid(Everyone);
  return Entries;
}

}  // namespace

bool EveryoneMayWriteIn(const fs::path& Folder) {
  const TEveryoneEntries Entries = EveryoneEntriesOf(Folder);
  return Entries.NoDacl || Entries.InheritedByBoth > 0;
}

namespace {

TEST_F(LogTest, GrantingTwiceAddsNoSecondEntry) {
  fs::create_directories(LogFolder());
  GrantEveryoneFullAccess(LogFolder().u16string());
  const TEveryoneEntries Once = EveryoneEntriesOf(LogFolder());
  GrantEveryoneFullAccess(LogFolder().u16string());
  const TEveryoneEntries Twice = EveryoneEntriesOf(LogFolder());
  EXPECT_GT(Once.InheritedByBoth, 0);
  EXPECT_EQ(Twice.FullAccess, Once.FullAccess);
}

}  // namespace
}  // namespace logtest
