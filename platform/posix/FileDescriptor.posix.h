#pragma once
// Descriptor-level helpers the POSIX layer and the log's own files share: an
// owned descriptor, the owners whose entries may be trusted, files created open
// to every user, whole writes and the advisory lock that keeps appends of
// several processes apart; the trust rules for files a root process loads.
#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Files.h"

namespace os {

class TFileDescriptor {
public:
  TFileDescriptor() noexcept = default;
  explicit TFileDescriptor(int Fd) noexcept : FFd(Fd) {}
  ~TFileDescriptor() { Reset(); }
  TFileDescriptor(TFileDescriptor&& Other) noexcept : FFd(Other.Release()) {}
  TFileDescriptor& operator=(TFileDescriptor&& Other) noexcept;
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;

  int Get() const noexcept { return FFd; }
  bool IsOpen() const noexcept { return FFd >= 0; }
  int Release() noexcept {
    const int Fd = FFd;
    FFd = -1;
    return Fd;
  }
  void Reset() noexcept;

private:
  int FFd = -1;
};

// Who may be trusted with a shared folder or file: this process's own user and root.
bool IsTrustedOwner(uid_t Owner) noexcept;

// The owner rule for an entry of a folder every local user may write in (the
// log's folders and day files), judged on its status: root trusts only what
// root owns; any other user trusts its own entries and root's, and another
// user's only when that user alone could change it. None, OtherUser or
// OtherUserOpenToOthers.
TDistrust OwnerDistrust(const struct stat& Info) noexcept;

// A file of such a folder, as the log writes and shows its day files: a
// regular file (a link's own status is a link) with one name, and the owner
// rule above.
TDistrust SharedFileDistrust(const struct stat& Info) noexcept;

// What a path must be for a process that may run as root to act on it, as
// OpenSSH's StrictModes: Path is resolved (links followed), then the real path
// is checked from the root down. Every folder on it and the final entry must be
// owned by root or this process's user and not writable by group or others: any
// other user who could write one of them could swap what lies below. A folder
// above the final entry may be open to all when it is sticky (like /tmp, and
// owned as above): there only an entry's owner may rename or remove it. The
// final entry itself gets no such allowance and must be of the Kind asked for,
// so nothing but a regular file is ever opened as one. Answers the real path,
// which is what the caller must then open; raises an Exception naming the
// path, the component and the rule it breaks.
enum class TTrustedKind { Folder, RegularFile };
std::string TrustedRealPath(const std::string& Path, TTrustedKind Kind);

// CreateDirectories (Os.h) where each folder made gets exactly ExactMode, whatever
// the umask: a registry a root process trusts must not come out writable by all.
bool CreateDirectories(const std::u16string& Path, std::optional<mode_t> ExactMode);

// Opens Name (relative to the folder Folder, or to the working folder for
// AT_FDCWD) with Flags, which hold no O_CREAT. A missing file is created with
// rw for everybody whatever the umask: a day's file is shared by every user
// whose process logs that day. The usual case, an existing file, costs one
// open. Answers the descriptor, or -1 with errno set.
int OpenOrCreateShared(int Folder, const char* Name, int Flags);

// Writes every byte, resuming after interruptions. Raises an Exception on failure.
void WriteAll(int Fd, std::string_view Bytes);
// Waits for the exclusive advisory lock; closing the descriptor releases it.
void LockExclusive(int Fd);
// Gives the lock back early, for a descriptor that stays open.
void Unlock(int Fd) noexcept;

// The environment MachineAppDataFolder (Os.h) reads. A writer that keeps a file
// of that folder open compares it before each use: a change may name another
// folder. Reading it costs no system call.
class TAppDataEnvironment {
public:
  // The values in force now.
  static TAppDataEnvironment Current();
  bool InForce() const noexcept;

private:
  static constexpr std::size_t Count = 3;
  // Unset and empty differ: the fallbacks tell them apart.
  std::pair<bool, std::string> FValues[Count];
  // An override in force makes the others irrelevant.
  std::size_t FDeciding = Count;
};

}  // namespace os
