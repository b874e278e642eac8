#pragma once
// Descriptor-level helpers the POSIX layer and the log's own files share: an
// owned descriptor, the owners whose entries may be trusted, files created open
// to every user, whole writes and the advisory lock that keeps appends of
// several processes apart.
#include <sys/types.h>

#include <string_view>

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

}  // namespace os
