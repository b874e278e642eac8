#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/Exception.h"
#include "platform/Os.h"
#include "platform/Text.h"
#include "platform/posix/FileDescriptor.posix.h"

namespace os {

namespace {

struct TDirCloser {
  void operator()(DIR* Dir) const noexcept { ::closedir(Dir); }
};

bool IsDotOrDotDot(const char* Name) {
  return Name[0] == '.' && (Name[1] == '\0' || (Name[1] == '.' && Name[2] == '\0'));
}

// Non-blocking: a FIFO planted under a file's name must not hang the caller.
TFileDescriptor OpenForReading(const std::u16string& Path, int ExtraFlags) {
  return TFileDescriptor(::open(ToUtf8(Path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | ExtraFlags));
}

struct stat StatusOf(const TFileDescriptor& File, const std::u16string& Path) {
  struct stat Info {};
  if (::fstat(File.Get(), &Info) != 0) RaiseLastOsError(ReadFailureText(Path));
  return Info;
}

std::string ReadAll(const TFileDescriptor& File, const std::u16string& Path, std::size_t MaxBytes) {
  std::string Bytes;
  char Chunk[64 * 1024];
  for (;;) {
    const ssize_t Read = ::read(File.Get(), Chunk, sizeof Chunk);
    if (Read < 0 && errno == EINTR) continue;
    if (Read < 0) RaiseLastOsError(ReadFailureText(Path));
    if (Read == 0) return Bytes;
    CheckReadLimit(Path, Bytes.size(), static_cast<std::size_t>(Read), MaxBytes);
    Bytes.append(Chunk, static_cast<std::size_t>(Read));
  }
}

}  // namespace

std::vector<std::u16string> FolderEntryNames(const std::u16string& Folder) {
  std::unique_ptr<DIR, TDirCloser> Dir(::opendir(ToUtf8(Folder).c_str()));
  if (!Dir) RaiseLastOsError(u"Cannot list the folder " + Folder);
  std::vector<std::u16string> Names;
  errno = 0;
  while (const dirent* Entry = ::readdir(Dir.get())) {
    if (!IsDotOrDotDot(Entry->d_name)) Names.push_back(FromUtf8(Entry->d_name));
    errno = 0;
  }
  if (errno != 0) RaiseLastOsError(u"Cannot list the folder " + Folder);
  return Names;
}

std::optional<TFileStamp> FileStamp(const std::u16string& Path) {
  struct stat Info {};
  if (::lstat(ToUtf8(Path).c_str(), &Info) != 0) return std::nullopt;
  constexpr int64_t NanosecondsPerSecond = 1'000'000'000;
  return TFileStamp{static_cast<int64_t>(Info.st_mtim.tv_sec) * NanosecondsPerSecond + Info.st_mtim.tv_nsec,
                    static_cast<uint64_t>(Info.st_size)};
}

std::string ReadWholeFile(const std::u16string& Path, std::size_t MaxBytes) {
  const TFileDescriptor File = OpenForReading(Path, 0);
  if (!File.IsOpen()) RaiseLastOsError(ReadFailureText(Path));
  if (!S_ISREG(StatusOf(File, Path).st_mode)) throw Exception(ReadFailureText(Path) + u": not a regular file");
  return ReadAll(File, Path, MaxBytes);
}

TDistrust SharedFileDistrust(const std::u16string& Path) {
  struct stat Info {};
  if (::lstat(ToUtf8(Path).c_str(), &Info) != 0) return TDistrust::None;
  return SharedFileDistrust(Info);
}

// Judged twice: on the entry, so that nothing it refuses is ever opened (the
// open of a device may itself act), and on what was opened, which is what is
// read even if the entry was swapped in between.
std::string ReadSharedFile(const std::u16string& Path, std::size_t MaxBytes) {
  const TDistrust Entry = SharedFileDistrust(Path);
  if (Entry != TDistrust::None) RaiseUnreadable(Path, Entry);
  const TFileDescriptor File = OpenForReading(Path, O_NOFOLLOW);
  if (!File.IsOpen() && errno == ELOOP) RaiseUnreadable(Path, TDistrust::SymbolicLink);
  if (!File.IsOpen()) RaiseLastOsError(ReadFailureText(Path));
  const TDistrust Opened = SharedFileDistrust(StatusOf(File, Path));
  if (Opened != TDistrust::None) RaiseUnreadable(Path, Opened);
  return ReadAll(File, Path, MaxBytes);
}

}  // namespace os
