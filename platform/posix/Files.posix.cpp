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
  if (::stat(ToUtf8(Path).c_str(), &Info) != 0) return std::nullopt;
  constexpr int64_t NanosecondsPerSecond = 1'000'000'000;
  return TFileStamp{static_cast<int64_t>(Info.st_mtim.tv_sec) * NanosecondsPerSecond + Info.st_mtim.tv_nsec,
                    static_cast<uint64_t>(Info.st_size)};
}

std::string ReadWholeFile(const std::u16string& Path, std::size_t MaxBytes) {
  // Non-blocking: a FIFO planted under a log's name must not hang the window.
  TFileDescriptor File(::open(ToUtf8(Path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!File.IsOpen()) RaiseLastOsError(ReadFailureText(Path));
  struct stat Info {};
  if (::fstat(File.Get(), &Info) != 0) RaiseLastOsError(ReadFailureText(Path));
  if (!S_ISREG(Info.st_mode)) throw Exception(ReadFailureText(Path) + u": not a regular file");
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

}  // namespace os
