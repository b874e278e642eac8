#include "logging/Common.LogFiles.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>
#include <system_error>

#include "platform/Exception.h"
#include "platform/Text.h"
#include "platform/posix/FileDescriptor.posix.h"

// The log folders below the machine-wide folder are shared by every local user,
// and a driver may run as root. Each step is therefore opened relative to the
// one before, never following a link, and judged on the open descriptor: a name
// swapped between a check and its use cannot redirect the writer.
namespace {

using os::TFileDescriptor;

enum class TEntryKind { Folder, DayFile };

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
// O_NONBLOCK: a FIFO planted as the day file must not stop the host's thread.
constexpr int DayFileFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

[[noreturn]] void RaiseUntrusted(const std::u16string& Path, std::u16string_view Reason) {
  throw Exception(u"The log path " + Path + u" cannot be trusted: " + std::u16string(Reason));
}

[[noreturn]] void RaiseOsFailure(int Code, std::u16string_view Attempt, const std::u16string& Path) {
  throw Exception(std::u16string(Attempt) + Path + u": " + FromUtf8(std::generic_category().message(Code)));
}

std::u16string_view ReasonText(os::TDistrust Distrust) {
  switch (Distrust) {
    case os::TDistrust::None: break;
    case os::TDistrust::SymbolicLink: return u"it is a symbolic link";
    case os::TDistrust::NotRegularFile: return u"it is not a regular file";
    case os::TDistrust::SeveralNames: return u"it has more than one name (a hard link)";
    case os::TDistrust::OtherUser: return u"it belongs to another user";
    case os::TDistrust::OtherUserOpenToOthers: return u"it belongs to another user and others may write to it";
  }
  return {};
}

// Why an entry on the log's way cannot be trusted; empty when it can. The log
// viewer reads day files by the same rules (os::SharedFileDistrust): a hard
// link would carry the lines into a file somewhere else.
std::u16string_view DistrustReason(const struct stat& Info, TEntryKind Kind) {
  if (Kind == TEntryKind::DayFile) return ReasonText(os::SharedFileDistrust(Info));
  if (!S_ISDIR(Info.st_mode)) return u"it is not a folder";
  return ReasonText(os::OwnerDistrust(Info));
}

void CheckTrusted(int Fd, const std::u16string& Path, TEntryKind Kind) {
  struct stat Info {};
  if (::fstat(Fd, &Info) != 0) RaiseOsFailure(errno, u"Cannot examine ", Path);
  const std::u16string_view Reason = DistrustReason(Info, Kind);
  if (!Reason.empty()) RaiseUntrusted(Path, Reason);
}

// An open that failed on something planted in the log's way says what it found.
[[noreturn]] void RaiseOpenFailure(int Code, const std::u16string& Path, TEntryKind Kind) {
  if (Code == ELOOP) RaiseUntrusted(Path, ReasonText(os::TDistrust::SymbolicLink));
  if (Code == ENOTDIR && Kind == TEntryKind::Folder) RaiseUntrusted(Path, u"it is not a folder");
  if (Code == ENXIO || Code == EISDIR || Code == ENODEV)
    RaiseUntrusted(Path, ReasonText(os::TDistrust::NotRegularFile));
  RaiseOsFailure(Code, u"Cannot open ", Path);
}

// A folder opened without following links fails with "not a folder" on a link
// too: the entry itself tells which it was.
[[noreturn]] void RaiseChildFolderFailure(int Code, int Parent, const std::string& Name, const std::u16string& Path) {
  struct stat Info {};
  if (Code == ENOTDIR && ::fstatat(Parent, Name.c_str(), &Info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(Info.st_mode))
    Code = ELOOP;
  RaiseOpenFailure(Code, Path, TEntryKind::Folder);
}

// The machine-wide folder is the administrator's choice and may be reached
// through links; everything below it may not.
TFileDescriptor OpenBase(const std::u16string& Base, bool Create) {
  const std::string Native = ToUtf8(Base);
  TFileDescriptor Folder(::open(Native.c_str(), FolderFlags));
  if (!Folder.IsOpen() && errno == ENOENT) {
    if (!Create) return {};
    os::CreateDirectories(Base);
    Folder = TFileDescriptor(::open(Native.c_str(), FolderFlags));
  }
  if (!Folder.IsOpen()) RaiseOpenFailure(errno, Base, TEntryKind::Folder);
  CheckTrusted(Folder.Get(), Base, TEntryKind::Folder);
  return Folder;
}

TFileDescriptor OpenChildFolder(int Parent, const std::string& Name) {
  return TFileDescriptor(::openat(Parent, Name.c_str(), FolderFlags | O_NOFOLLOW));
}

// Sticky and writable by all, as /tmp: every local user may add a day file,
// nobody may remove or replace another user's. Made private first and opened
// up on the descriptor, so the creator's umask does not matter and no path is
// ever chmod-ed.
TFileDescriptor CreateSharedFolder(int Parent, const std::string& Name, const std::u16string& Path) {
  const bool Created = ::mkdirat(Parent, Name.c_str(), 0700) == 0;
  if (!Created && errno != EEXIST) RaiseOsFailure(errno, u"Cannot create the folder ", Path);
  TFileDescriptor Folder = OpenChildFolder(Parent, Name);
  if (!Folder.IsOpen()) RaiseChildFolderFailure(errno, Parent, Name, Path);
  CheckTrusted(Folder.Get(), Path, TEntryKind::Folder);
  if (Created && ::fchmod(Folder.Get(), 01777) != 0)
    RaiseOsFailure(errno, u"Cannot open to every user the folder ", Path);
  return Folder;
}

// The component's folder, opened step by step; not open when a step is missing
// and Create is false.
TFileDescriptor OpenLogFolder(const TLogPlace& Place, bool Create) {
  std::u16string Path(Place.Base);
  TFileDescriptor Folder = OpenBase(Path, Create);
  for (const std::u16string_view Step : {Place.Vendor, Place.Stem}) {
    if (!Folder.IsOpen()) return Folder;
    Path += u'/';
    Path += Step;
    const std::string Name = ToUtf8(Step);
    TFileDescriptor Next = OpenChildFolder(Folder.Get(), Name);
    if (Next.IsOpen()) {
      CheckTrusted(Next.Get(), Path, TEntryKind::Folder);
    } else if (errno == ENOENT) {
      if (!Create) return {};
      Next = CreateSharedFolder(Folder.Get(), Name, Path);  // checked before its rights are opened
    } else {
      RaiseChildFolderFailure(errno, Folder.Get(), Name, Path);
    }
    Folder = std::move(Next);
  }
  return Folder;
}

// The day file between lines, with what tells whether it is still the file
// its path names. Opened only through OpenLogFolder and the day file checks.
struct TKeptDayFile {
  TFileDescriptor File;
  std::string Path;
  dev_t Device = 0;
  ino_t Inode = 0;
  os::TAppDataEnvironment Environment;
  // A forked child shares the parent's open file, and with it the lock: the
  // child opens its own.
  bool Inherited = false;
};

// Never destroyed: the log's unload step still writes the stop line after this
// unit's static destructors may have run. CloseLogFile releases what it holds.
TKeptDayFile& Kept() {
  alignas(TKeptDayFile) static unsigned char Storage[sizeof(TKeptDayFile)];
  static TKeptDayFile* const Instance = new (Storage) TKeptDayFile;
  return *Instance;
}

void MarkKeptFileInherited() noexcept { Kept().Inherited = true; }

// The line is written by then: a file that cannot be kept is merely closed.
void Keep(TFileDescriptor File, const std::u16string& Path) noexcept {
  try {
    struct stat Info {};
    if (::fstat(File.Get(), &Info) != 0) return;
    static const bool ForkWatched = ::pthread_atfork(nullptr, nullptr, &MarkKeptFileInherited) == 0;
    if (!ForkWatched) return;
    TKeptDayFile& Day = Kept();
    Day.Path = ToUtf8(Path);
    Day.Device = Info.st_dev;
    Day.Inode = Info.st_ino;
    Day.Environment = os::TAppDataEnvironment::Current();
    Day.Inherited = false;
    Day.File = std::move(File);
  } catch (...) {
    CloseLogFile();
  }
}

// Held from the write's start to its end, also when the write fails; the
// descriptor stays open.
class TAppendLock {
public:
  explicit TAppendLock(int Fd) : FFd(Fd) { os::LockExclusive(Fd); }
  ~TAppendLock() { os::Unlock(FFd); }
  TAppendLock(const TAppendLock&) = delete;
  TAppendLock& operator=(const TAppendLock&) = delete;

private:
  int FFd;
};

void AppendWhole(int Fd, std::string_view Bytes) {
  const TAppendLock Lock(Fd);
  os::WriteAll(Fd, Bytes);
}

// The file under the path is the kept one (a link or a new file there has
// another inode) and passes the day file checks as it did when it was opened.
bool StillTheDayFile(const TKeptDayFile& Day) {
  if (Day.Inherited || !Day.Environment.InForce()) return false;
  struct stat Info {};
  if (::fstatat(AT_FDCWD, Day.Path.c_str(), &Info, AT_SYMLINK_NOFOLLOW) != 0) return false;
  return Info.st_dev == Day.Device && Info.st_ino == Day.Inode && DistrustReason(Info, TEntryKind::DayFile).empty();
}

}  // namespace

void PrepareLogFolder(const TLogPlace& Place) { OpenLogFolder(Place, true); }

void CheckLogFile(const TLogPlace& Place, std::u16string_view FileName) {
  const TFileDescriptor Folder = OpenLogFolder(Place, false);
  if (!Folder.IsOpen()) return;
  struct stat Info {};
  if (::fstatat(Folder.Get(), ToUtf8(FileName).c_str(), &Info, AT_SYMLINK_NOFOLLOW) != 0) return;
  const std::u16string_view Reason = DistrustReason(Info, TEntryKind::DayFile);
  if (!Reason.empty()) RaiseUntrusted(Place.FileText(FileName), Reason);
}

os::AppendResult AppendToLogFile(const TLogPlace& Place, std::u16string_view FileName, std::string_view Bytes) {
  const TFileDescriptor Folder = OpenLogFolder(Place, false);
  if (!Folder.IsOpen()) return os::AppendResult::FolderMissing;
  TFileDescriptor File(os::OpenOrCreateShared(Folder.Get(), ToUtf8(FileName).c_str(), DayFileFlags));
  if (!File.IsOpen()) {
    const int Code = errno;
    RaiseOpenFailure(Code, Place.FileText(FileName), TEntryKind::DayFile);
  }
  const std::u16string Path = Place.FileText(FileName);
  CheckTrusted(File.Get(), Path, TEntryKind::DayFile);
  CloseLogFile();
  AppendWhole(File.Get(), Bytes);
  Keep(std::move(File), Path);
  return os::AppendResult::Ok;
}

bool AppendToKeptLogFile(std::string_view Bytes) {
  TKeptDayFile& Day = Kept();
  if (!Day.File.IsOpen()) return false;
  if (!StillTheDayFile(Day)) {
    CloseLogFile();
    return false;
  }
  AppendWhole(Day.File.Get(), Bytes);
  return true;
}

// Made anew rather than assigned: an assigned string may keep its block, and
// the library must leave no heap block behind when it is unloaded.
void CloseLogFile() noexcept {
  TKeptDayFile& Day = Kept();
  Day.~TKeptDayFile();
  new (&Day) TKeptDayFile;
}
