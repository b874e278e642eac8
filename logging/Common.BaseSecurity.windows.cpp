#include "logging/Common.BaseSecurity.h"

#include <windows.h>
#include <aclapi.h>

#include "platform/Os.h"
#include "platform/Text.h"

namespace {

// The OS blocks behind the rights step, released on every way out.
struct TSecurityBlocks {
  PSID Everyone = nullptr;
  PSECURITY_DESCRIPTOR Descriptor = nullptr;
  PACL MergedAcl = nullptr;

  TSecurityBlocks() = default;
  TSecurityBlocks(const TSecurityBlocks&) = delete;
  TSecurityBlocks& operator=(const TSecurityBlocks&) = delete;
  ~TSecurityBlocks() {
    if (Everyone != nullptr) ::FreeSid(Everyone);
    if (Descriptor != nullptr) ::LocalFree(Descriptor);
    if (MergedAcl != nullptr) ::LocalFree(MergedAcl);
  }
};

// S-1-1-0
void BuildEveryoneSid(TSecurityBlocks& Blocks) {
  SID_IDENTIFIER_AUTHORITY World = SECURITY_WORLD_SID_AUTHORITY;
  if (!::AllocateAndInitializeSid(&World, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &Blocks.Everyone))
    os::RaiseLastOsError(u"Cannot build the SID of Everyone");
}

// Only the mask is compared, not the entry's type: an entry with exactly
// GENERIC_ALL for Everyone means the folder was opened before.
bool HasEveryoneFullAccess(PACL Dacl, PSID Everyone) {
  for (DWORD Index = 0; Index < Dacl->AceCount; ++Index) {
    void* Entry = nullptr;
    if (!::GetAce(Dacl, Index, &Entry)) continue;
    const auto* Allowed = static_cast<const ACCESS_ALLOWED_ACE*>(Entry);
    PSID Sid = const_cast<DWORD*>(&Allowed->SidStart);
    if (Allowed->Mask == GENERIC_ALL && ::EqualSid(Sid, Everyone)) return true;
  }
  return false;
}

EXPLICIT_ACCESS_W EveryoneFullAccessEntry(PSID Everyone) {
  EXPLICIT_ACCESS_W Entry{};
  Entry.grfAccessPermissions = GENERIC_ALL;
  Entry.grfAccessMode = GRANT_ACCESS;
  Entry.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  Entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  Entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  Entry.Trustee.ptstrName = static_cast<LPWSTR>(Everyone);
  return Entry;
}

// The security functions answer their error instead of setting the last one.
[[noreturn]] void RaiseSecurityError(DWORD Code, const std::u16string& Attempt) {
  ::SetLastError(Code);
  os::RaiseLastOsError(Attempt);
}

}  // namespace

void GrantEveryoneFullAccess(const std::u16string& Folder) {
  TSecurityBlocks Blocks;
  BuildEveryoneSid(Blocks);
  std::wstring Path = ToWide(Folder);
  PACL Dacl = nullptr;
  const DWORD ReadResult = ::GetNamedSecurityInfoW(Path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                                   nullptr, &Dacl, nullptr, &Blocks.Descriptor);
  if (ReadResult != ERROR_SUCCESS) RaiseSecurityError(ReadResult, u"Cannot read the rights of " + Folder);
  // No list at all already lets everybody in.
  if (Dacl == nullptr || HasEveryoneFullAccess(Dacl, Blocks.Everyone)) return;
  EXPLICIT_ACCESS_W Entry = EveryoneFullAccessEntry(Blocks.Everyone);
  const DWORD MergeResult = ::SetEntriesInAclW(1, &Entry, Dacl, &Blocks.MergedAcl);
  if (MergeResult != ERROR_SUCCESS) RaiseSecurityError(MergeResult, u"Cannot add Everyone to the rights of " + Folder);
  // A refused write leaves the folder usable by its creator: not worth failing the log for.
  ::SetNamedSecurityInfoW(Path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, Blocks.MergedAcl,
                          nullptr);
}
