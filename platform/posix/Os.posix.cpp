#include "platform/Os.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/Exception.h"
#include "platform/Text.h"
#include "platform/posix/FileDescriptor.posix.h"

namespace os {

namespace {

// Below /var/tmp so that it survives reboots like a real machine-wide folder.
constexpr const char* SharedAppDataFolder = "/var/tmp/ProgramData";

std::string NativePath(const std::u16string& Path) { return ToUtf8(Path); }

// Takes the code first: building the message may itself change errno.
[[noreturn]] void RaiseErrno(int Code, std::u16string_view Attempt) {
  throw Exception(std::u16string(Attempt) + u": " + FromUtf8(std::generic_category().message(Code)));
}

bool IsDirectory(const std::string& Path) {
  struct stat Info {};
  return ::stat(Path.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
}

std::string WithoutTrailingSlashes(std::string Path) {
  while (Path.size() > 1 && Path.back() == '/') Path.pop_back();
  return Path;
}

// The variables MachineAppDataFolder reads.
constexpr const char* OverrideVariable = "PROGRAMDATA";
constexpr const char* StateHomeVariable = "XDG_STATE_HOME";
constexpr const char* HomeVariable = "HOME";
constexpr const char* AppDataVariables[] = {OverrideVariable, StateHomeVariable, HomeVariable};

// An override from the environment counts only as an absolute folder other than
// the root: anything else would put the log wherever the process happens to
// be. secure_getenv: a program running with raised rights ignores it.
std::string FolderFromEnvironment(const char* Name) {
  const char* Value = ::secure_getenv(Name);
  if (Value == nullptr || Value[0] != '/') return {};
  std::string Folder = WithoutTrailingSlashes(Value);
  return Folder == "/" ? std::string() : Folder;
}

// The shared folder is used when it is (or can be made) a folder that this user
// may write in and nobody but this user or root controls. A new one is made
// sticky and writable by all, as /tmp: every local user may create a folder below
// it, nobody may remove another user's.
bool SharedFolderUsable() {
  const bool Created = ::mkdir(SharedAppDataFolder, 0700) == 0;
  if (!Created && errno != EEXIST) return false;
  const TFileDescriptor Folder(::open(SharedAppDataFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat Info {};
  if (!Folder.IsOpen() || ::fstat(Folder.Get(), &Info) != 0 || !IsTrustedOwner(Info.st_uid)) return false;
  if (Created && ::fchmod(Folder.Get(), 01777) != 0) return false;
  return ::faccessat(Folder.Get(), ".", W_OK | X_OK, AT_EACCESS) == 0;
}

// The folder of this process's account below the shared folder: its user name
// when that is a plain file name, its number otherwise.
std::string AccountFolderName() {
  passwd Entry{};
  passwd* Found = nullptr;
  char Buffer[4096];
  if (::getpwuid_r(::geteuid(), &Entry, Buffer, sizeof(Buffer), &Found) == 0 && Found != nullptr &&
      Found->pw_name != nullptr) {
    const std::string_view Name(Found->pw_name);
    const bool Plain = !Name.empty() && Name.size() <= 64 && Name.front() != '.' &&
                       Name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") ==
                           std::string_view::npos;
    if (Plain) return std::string(Name);
  }
  return "uid-" + std::to_string(::geteuid());
}

// Every account keeps its log in a folder of its own below the shared one, made
// by the account itself and entered by nobody else, so that no other account
// can plant anything in its log's way or lock it out by making a folder first.
// Empty when there is no such folder to be had: one made by another account
// under this account's name is never used.
std::string AccountAppDataFolder() {
  if (!SharedFolderUsable()) return {};
  const TFileDescriptor Shared(::open(SharedAppDataFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!Shared.IsOpen()) return {};
  const std::string Name = AccountFolderName();
  if (::mkdirat(Shared.Get(), Name.c_str(), 0700) != 0 && errno != EEXIST) return {};
  const TFileDescriptor Account(::openat(Shared.Get(), Name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat Info {};
  if (!Account.IsOpen() || ::fstat(Account.Get(), &Info) != 0 || Info.st_uid != ::geteuid() ||
      (Info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return {};
  return std::string(SharedAppDataFolder) + "/" + Name;
}

// The home folder of this process's user: HOME, or the password database when
// HOME is not set. Only a folder that exists and belongs to the user counts.
std::string HomeFolder() {
  std::string Home = FolderFromEnvironment(HomeVariable);
  if (Home.empty() && ::secure_getenv(HomeVariable) == nullptr) {
    passwd Entry{};
    passwd* Found = nullptr;
    char Buffer[4096];
    if (::getpwuid_r(::geteuid(), &Entry, Buffer, sizeof(Buffer), &Found) == 0 && Found != nullptr &&
        Found->pw_dir != nullptr && Found->pw_dir[0] == '/')
      Home = WithoutTrailingSlashes(Found->pw_dir);
  }
  if (Home.empty() || Home == "/") return {};
  struct stat Info {};
  if (::stat(Home.c_str(), &Info) != 0 || !S_ISDIR(Info.st_mode) || Info.st_uid != ::geteuid()) return {};
  return Home;
}

std::string PerUserStateFolder() {
  std::string Folder = FolderFromEnvironment(StateHomeVariable);
  if (!Folder.empty()) return Folder;
  const std::string Home = HomeFolder();
  if (Home.empty())
    throw Exception(std::u16string(u"No folder for the log: ") + FromUtf8(SharedAppDataFolder) +
                    u" cannot be used and the user has no home folder");
  return Home + "/.local/state";
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

// Without ExactMode the folder gets 0777 less the umask.
bool MakeOneDirectory(const std::u16string& Path, std::optional<mode_t> ExactMode) {
  const std::string Native = NativePath(Path);
  if (::mkdir(Native.c_str(), ExactMode.value_or(0777)) == 0) {
    if (ExactMode && ::chmod(Native.c_str(), *ExactMode) != 0)
      RaiseErrno(errno, u"Cannot set the rights of the folder " + Path);
    return true;
  }
  const int Code = errno;
  if (Code == EEXIST && DirectoryExists(Path)) return false;
  RaiseErrno(Code, u"Cannot create the folder " + Path);
}

constexpr int AppendFlags = O_WRONLY | O_APPEND | O_CLOEXEC;

std::string ExecutablePath() {
  char Buffer[PATH_MAX + 1];
  const ssize_t Length = ::readlink("/proc/self/exe", Buffer, PATH_MAX);
  if (Length <= 0) RaiseLastOsError(u"Cannot find the program's file");
  return std::string(Buffer, static_cast<std::size_t>(Length));
}

std::u16string Quoted(const std::string& Path) { return u"\"" + FromUtf8(Path) + u"\""; }

std::string ResolvedPath(const std::string& Path) {
  char Buffer[PATH_MAX + 1];
  if (::realpath(Path.c_str(), Buffer) == nullptr) {
    const int Code = errno;
    RaiseErrno(Code, Quoted(Path) + u" cannot be resolved");
  }
  return Buffer;
}

// The rule Info breaks, or null. A sticky folder of a trusted owner (like /tmp)
// may be open to all when it is above the entry asked about: there only an
// entry's owner may rename or remove it, so what we checked stays.
const char16_t* BrokenTrustRule(const struct stat& Info, bool IsFinal) {
  if (!IsTrustedOwner(Info.st_uid)) return u"is owned by a user other than root and this process's user";
  if (S_ISLNK(Info.st_mode)) return u"is a symbolic link that appeared while it was checked";
  const bool OpenToOthers = (Info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  const bool StickyFolderAbove = !IsFinal && S_ISDIR(Info.st_mode) && (Info.st_mode & S_ISVTX) != 0;
  if (OpenToOthers && !StickyFolderAbove) return u"is writable by group or others";
  return nullptr;
}

const char16_t* BrokenKindRule(const struct stat& Info, TTrustedKind Kind) {
  if (Kind == TTrustedKind::Folder && !S_ISDIR(Info.st_mode)) return u"is not a folder";
  if (Kind == TTrustedKind::RegularFile && !S_ISREG(Info.st_mode)) return u"is not a regular file";
  return nullptr;
}

// The real path and every folder above it, from the root down.
std::vector<std::string> PathAndFoldersAbove(const std::string& RealPath) {
  std::vector<std::string> Components{"/"};
  for (std::size_t Slash = RealPath.find('/', 1); Slash != std::string::npos; Slash = RealPath.find('/', Slash + 1))
    Components.push_back(RealPath.substr(0, Slash));
  if (RealPath != "/") Components.push_back(RealPath);
  return Components;
}

// A lock held by another process for longer than this is taken as a stuck or
// hostile holder: the line is given up rather than the host's thread.
constexpr uint32_t LockPatienceMs = 1000;

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
  const auto Milliseconds =
      static_cast<uint64_t>(Stamp.tv_sec) * 1000u + static_cast<uint64_t>(Stamp.tv_nsec / 1000000);
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
  const std::string Override = FolderFromEnvironment(OverrideVariable);
  if (!Override.empty()) return FromUtf8(Override);
  // Asked for every line, not remembered: a shared folder removed by a cleaner of
  // /var/tmp comes back sticky and open to all, and one made unusable is left.
  const std::string Account = AccountAppDataFolder();
  return FromUtf8(Account.empty() ? PerUserStateFolder() : Account);
}

char16_t PathSeparator() noexcept { return u'/'; }

bool DirectoryExists(const std::u16string& Path) { return IsDirectory(NativePath(Path)); }

bool CreateDirectories(const std::u16string& Path) { return CreateDirectories(Path, std::nullopt); }

bool CreateDirectories(const std::u16string& Path, std::optional<mode_t> ExactMode) {
  const std::u16string Folder = WithoutTrailingSeparators(Path);
  if (Folder.empty() || DirectoryExists(Folder)) return false;
  const std::u16string Parent = ParentFolder(Folder);
  if (!Parent.empty()) CreateDirectories(Parent, ExactMode);
  return MakeOneDirectory(Folder, ExactMode);
}

AppendResult AppendToFile(const std::u16string& Path, std::string_view Bytes) {
  const TFileDescriptor File(OpenOrCreateShared(AT_FDCWD, NativePath(Path).c_str(), AppendFlags));
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
  return FromUtf8(ResolvedPath(Module->l_name));
}

void RaiseLastOsError(std::u16string_view Attempt) { RaiseErrno(errno, Attempt); }

bool IsTrustedOwner(uid_t Owner) noexcept { return Owner == ::geteuid() || Owner == 0; }

// Root may be led to act on whatever another user plants: it takes no other
// user's entry at all.
TDistrust OwnerDistrust(const struct stat& Info) noexcept {
  if (IsTrustedOwner(Info.st_uid)) return TDistrust::None;
  if (::geteuid() == 0) return TDistrust::OtherUser;
  if ((Info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return TDistrust::OtherUserOpenToOthers;
  return TDistrust::None;
}

TDistrust SharedFileDistrust(const struct stat& Info) noexcept {
  if (S_ISLNK(Info.st_mode)) return TDistrust::SymbolicLink;
  if (!S_ISREG(Info.st_mode)) return TDistrust::NotRegularFile;
  if (Info.st_nlink > 1) return TDistrust::SeveralNames;
  return OwnerDistrust(Info);
}

std::string TrustedRealPath(const std::string& Path, TTrustedKind Kind) {
  const std::string RealPath = ResolvedPath(Path);
  const std::u16string Named =
      RealPath == Path ? Quoted(Path) : Quoted(Path) + u" (real path " + Quoted(RealPath) + u")";
  for (const std::string& Component : PathAndFoldersAbove(RealPath)) {
    const bool IsFinal = Component == RealPath;
    const std::u16string Where = IsFinal ? Named : Named + u": the folder " + Quoted(Component);
    struct stat Info {};
    if (::lstat(Component.c_str(), &Info) != 0) {
      const int Code = errno;
      RaiseErrno(Code, Where + u" cannot be checked");
    }
    const char16_t* Broken = BrokenTrustRule(Info, IsFinal);
    if (Broken == nullptr && IsFinal) Broken = BrokenKindRule(Info, Kind);
    if (Broken != nullptr) throw Exception(Where + u" " + Broken);
  }
  return RealPath;
}

int OpenOrCreateShared(int Folder, const char* Name, int Flags) {
  const int Fd = ::openat(Folder, Name, Flags);
  if (Fd >= 0 || errno != ENOENT) return Fd;
  const int Created = ::openat(Folder, Name, Flags | O_CREAT | O_EXCL, 0666);
  if (Created >= 0) {
    ::fchmod(Created, 0666);
    return Created;
  }
  return errno == EEXIST ? ::openat(Folder, Name, Flags) : -1;
}

TFileDescriptor& TFileDescriptor::operator=(TFileDescriptor&& Other) noexcept {
  if (this != &Other) {
    Reset();
    FFd = Other.Release();
  }
  return *this;
}

void TFileDescriptor::Reset() noexcept {
  if (FFd >= 0) ::close(FFd);
  FFd = -1;
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

void Unlock(int Fd) noexcept { ::flock(Fd, LOCK_UN); }

TAppDataEnvironment TAppDataEnvironment::Current() {
  static_assert(std::size(AppDataVariables) == Count);
  TAppDataEnvironment Now;
  if (!FolderFromEnvironment(OverrideVariable).empty()) Now.FDeciding = 1;
  for (std::size_t I = 0; I < Now.FDeciding; ++I) {
    const char* Value = ::secure_getenv(AppDataVariables[I]);
    if (Value != nullptr) Now.FValues[I] = {true, Value};
  }
  return Now;
}

bool TAppDataEnvironment::InForce() const noexcept {
  for (std::size_t I = 0; I < FDeciding; ++I) {
    const char* Value = ::secure_getenv(AppDataVariables[I]);
    if (FValues[I].first != (Value != nullptr) || (Value != nullptr && FValues[I].second != Value)) return false;
  }
  return true;
}

void LockExclusive(int Fd) {
  const uint32_t Started = TickCount();
  uint32_t PauseMs = 1;
  while (::flock(Fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) RaiseLastOsError(u"Cannot lock the file");
    if (TickCount() - Started >= LockPatienceMs)
      throw Exception(std::u16string(u"The file stays locked by another process"));
    SleepMs(PauseMs);
    PauseMs = PauseMs < 16 ? PauseMs * 2 : PauseMs;
  }
}

}  // namespace os
