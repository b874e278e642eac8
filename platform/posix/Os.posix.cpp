#include "platform/Os.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <system_error>

#include "platform/Exception.h"
#include "platform/Text.h"

namespace os {

namespace {

// Below /var/tmp so that it survives reboots like a real machine-wide folder.
constexpr const char* SharedAppDataFolder = "/var/tmp/ProgramData";

std::string NativePath(const std::u16string& Path) { return ToUtf8(Path); }

// The log appends to the same day file line after line: converting its name
// once per change rather than once per line is a noticeable share of a line.
const std::string& NativePathOfRepeatedFile(const std::u16string& Path) {
  thread_local std::u16string LastPath;
  thread_local std::string LastNative;
  if (Path != LastPath || LastNative.empty()) {
    LastNative = NativePath(Path);
    LastPath = Path;
  }
  return LastNative;
}

// Takes the code first: building the message may itself change errno.
[[noreturn]] void RaiseErrno(int Code, std::u16string_view Attempt) {
  throw Exception(std::u16string(Attempt) + u": " + FromUtf8(std::generic_category().message(Code)));
}

bool IsDirectory(const std::string& Path) {
  struct stat Info {};
  return ::stat(Path.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
}

// Sticky and writable by all, as /tmp: every local user may create a folder
// below it, nobody may remove another user's.
bool EnsureSharedFolder(const std::string& Path) {
  if (::mkdir(Path.c_str(), 01777) == 0) return ::chmod(Path.c_str(), 01777) == 0;
  return errno == EEXIST && IsDirectory(Path) && ::access(Path.c_str(), W_OK | X_OK) == 0;
}

std::string NonEmptyEnv(const char* Name) {
  const char* Value = std::getenv(Name);
  return Value != nullptr ? std::string(Value) : std::string();
}

std::string PerUserStateFolder() {
  std::string Folder = NonEmptyEnv("XDG_STATE_HOME");
  if (!Folder.empty()) return Folder;
  return NonEmptyEnv("HOME") + "/.local/state";
}

// Resolved once: the answer only changes when an administrator intervenes, and
// the writer asks for every line.
const std::u16string& DefaultAppDataFolder() {
  static const std::u16string Folder =
      FromUtf8(EnsureSharedFolder(SharedAppDataFolder) ? std::string(SharedAppDataFolder) : PerUserStateFolder());
  return Folder;
}

std::u16string WithoutTrailingSeparators(std::u16string Path) {
  while (Path.size() > 1 && Path.back() == u'/') Path.pop_back();
  return Path;
}

std::u16string ParentFolder(const std::u16string& Path) {
  const auto Slash = Path.find_last_of(u'/');
  if (Slash == std::u16string::npos) return {};
  if (Slash == 0) return u"/";
  return WithoutTrailingSeparators(Path.substr(0, Slash));
}

bool MakeOneDirectory(const std::u16string& Path) {
  if (::mkdir(NativePath(Path).c_str(), 0777) == 0) return true;
  const int Code = errno;
  if (Code == EEXIST && DirectoryExists(Path)) return false;
  RaiseErrno(Code, u"Cannot create the folder " + Path);
}

class TFileDescriptor {
public:
  explicit TFileDescriptor(int Fd) noexcept : FFd(Fd) {}
  ~TFileDescriptor() {
    if (FFd >= 0) ::close(FFd);
  }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;
  int Get() const noexcept { return FFd; }

private:
  int FFd;
};

constexpr int AppendFlags = O_WRONLY | O_APPEND | O_CLOEXEC;

// A file this call creates gets rw for everybody whatever the umask: the day's
// file is shared by every user whose process logs that day.
int CreateSharedFile(const std::string& Path) {
  const int Fd = ::open(Path.c_str(), AppendFlags | O_CREAT | O_EXCL, 0666);
  if (Fd >= 0) {
    ::fchmod(Fd, 0666);
    return Fd;
  }
  if (errno == EEXIST) return ::open(Path.c_str(), AppendFlags);
  return -1;
}

// The usual case, an existing file, costs one open; creation is the exception.
int OpenForAppend(const std::string& Path) {
  const int Fd = ::open(Path.c_str(), AppendFlags);
  if (Fd >= 0 || errno != ENOENT) return Fd;
  return CreateSharedFile(Path);
}

void WriteAll(int Fd, std::string_view Bytes) {
  while (!Bytes.empty()) {
    const ssize_t Written = ::write(Fd, Bytes.data(), Bytes.size());
    if (Written < 0) {
      if (errno == EINTR) continue;
      RaiseLastOsError(u"Cannot write to the file");
    }
    Bytes.remove_prefix(static_cast<std::size_t>(Written));
  }
}

void LockExclusive(int Fd) {
  while (::flock(Fd, LOCK_EX) != 0) {
    if (errno != EINTR) RaiseLastOsError(u"Cannot lock the file");
  }
}

std::string ExecutablePath() {
  char Buffer[PATH_MAX + 1];
  const ssize_t Length = ::readlink("/proc/self/exe", Buffer, PATH_MAX);
  if (Length <= 0) RaiseLastOsError(u"Cannot find the program's file");
  return std::string(Buffer, static_cast<std::size_t>(Length));
}

std::string CanonicalPath(const char* Path) {
  char Buffer[PATH_MAX + 1];
  if (::realpath(Path, Buffer) == nullptr) {
    const int Code = errno;
    RaiseErrno(Code, u"Cannot resolve the module path " + FromUtf8(Path));
  }
  return Buffer;
}

}  // namespace

LocalDateTime Now() {
  timespec Stamp{};
  ::clock_gettime(CLOCK_REALTIME, &Stamp);
  tm Local{};
  ::localtime_r(&Stamp.tv_sec, &Local);
  LocalDateTime Result;
  Result.Year = Local.tm_year + 1900;
  Result.Month = Local.tm_mon + 1;
  Result.Day = Local.tm_mday;
  Result.Hour = Local.tm_hour;
  Result.Minute = Local.tm_min;
  // A leap second is shown as the last regular one.
  Result.Second = Local.tm_sec > 59 ? 59 : Local.tm_sec;
  Result.Millisecond = static_cast<int>(Stamp.tv_nsec / 1000000);
  return Result;
}

uint32_t TickCount() noexcept {
  timespec Stamp{};
  ::clock_gettime(CLOCK_MONOTONIC, &Stamp);
  const auto Milliseconds = static_cast<uint64_t>(Stamp.tv_sec) * 1000u + static_cast<uint64_t>(Stamp.tv_nsec / 1000000);
  return static_cast<uint32_t>(Milliseconds);
}

void SleepMs(uint32_t Milliseconds) noexcept {
  timespec Rest{static_cast<time_t>(Milliseconds / 1000u), static_cast<long>(Milliseconds % 1000u) * 1000000L};
  while (::nanosleep(&Rest, &Rest) != 0 && errno == EINTR) {
  }
}

std::u16string TimeSeparator() { return u":"; }

std::u16string FormatLocaleDateTime(const LocalDateTime& Value, bool IncludeTime) {
  return FormatFixedDateTime(Value, IncludeTime);
}

std::u16string MachineAppDataFolder() {
  const char* Override = std::getenv("PROGRAMDATA");
  if (Override == nullptr || *Override == '\0') return DefaultAppDataFolder();
  // Asked for every log line; the variable practically never changes.
  thread_local std::string LastOverride;
  thread_local std::u16string LastFolder;
  if (LastOverride != Override) {
    LastFolder = WithoutTrailingSeparators(FromUtf8(Override));
    LastOverride = Override;
  }
  return LastFolder;
}

char16_t PathSeparator() noexcept { return u'/'; }

bool DirectoryExists(const std::u16string& Path) { return IsDirectory(NativePath(Path)); }

bool CreateDirectories(const std::u16string& Path) {
  const std::u16string Folder = WithoutTrailingSeparators(Path);
  if (Folder.empty() || DirectoryExists(Folder)) return false;
  const std::u16string Parent = ParentFolder(Folder);
  if (!Parent.empty()) CreateDirectories(Parent);
  return MakeOneDirectory(Folder);
}

AppendResult AppendToFile(const std::u16string& Path, std::string_view Bytes) {
  const TFileDescriptor File(OpenForAppend(NativePathOfRepeatedFile(Path)));
  if (File.Get() < 0) {
    const int Code = errno;
    if (Code == ENOENT) return AppendResult::FolderMissing;
    RaiseErrno(Code, u"Cannot open the file " + Path);
  }
  // Closing the descriptor releases the lock.
  LockExclusive(File.Get());
  WriteAll(File.Get(), Bytes);
  return AppendResult::Ok;
}

std::u16string ModuleFilePath(const void* Address) {
  Dl_info Info{};
  link_map* Module = nullptr;
  if (::dladdr1(Address, &Info, reinterpret_cast<void**>(&Module), RTLD_DL_LINKMAP) == 0 || Module == nullptr)
    throw Exception(std::string_view("The address belongs to no loaded module"));
  // The program itself has no name in the loader's list; dladdr would give argv[0].
  if (Module->l_name == nullptr || Module->l_name[0] == '\0') return FromUtf8(ExecutablePath());
  return FromUtf8(CanonicalPath(Module->l_name));
}

void RaiseLastOsError(std::u16string_view Attempt) { RaiseErrno(errno, Attempt); }

}  // namespace os
