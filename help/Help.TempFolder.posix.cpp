#include "help/Help.TempFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "platform/Os.h"
#include "platform/Text.h"
#include "platform/posix/FileDescriptor.posix.h"

namespace help {
namespace {

using TGuidBytes = std::array<uint8_t, 16>;

void FillRandom(TGuidBytes& Bytes) {
  std::size_t Filled = 0;
  while (Filled < Bytes.size()) {
    const ssize_t Read = ::getrandom(Bytes.data() + Filled, Bytes.size() - Filled, 0);
    if (Read < 0) {
      if (errno == EINTR) continue;
      os::RaiseLastOsError(u"Reading random bytes for a folder name");
    }
    Filled += static_cast<std::size_t>(Read);
  }
}

// Random (version 4) GUIDs, as CoCreateGuid makes them on Windows.
void MarkVersion4(TGuidBytes& Bytes) {
  Bytes[6] = static_cast<uint8_t>((Bytes[6] & 0x0F) | 0x40);
  Bytes[8] = static_cast<uint8_t>((Bytes[8] & 0x3F) | 0x80);
}

std::u16string BracedGuidText(const TGuidBytes& Bytes) {
  constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string Text = u"{";
  for (std::size_t I = 0; I < Bytes.size(); ++I) {
    if (I == 4 || I == 6 || I == 8 || I == 10) Text.push_back(u'-');
    Text.push_back(kHex[Bytes[I] >> 4]);
    Text.push_back(kHex[Bytes[I] & 0x0F]);
  }
  Text.push_back(u'}');
  return Text;
}

// A folder opened for use through its descriptor: never through a link in the
// last place.
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Why a folder opened as the temporary folder cannot be trusted, or null. Only
// root and this user may control it: in a folder another user can write to
// (other than a sticky one, where only an entry's owner may rename or remove
// it) the help's folder could be swapped for a link while the window is open.
const char16_t* DistrustedBecause(const struct stat& Info) {
  if (!S_ISDIR(Info.st_mode)) return u"is not a folder";
  if (!os::IsTrustedOwner(Info.st_uid)) return u"is owned by a user other than root and this process's user";
  if ((Info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (Info.st_mode & S_ISVTX) == 0)
    return u"is writable by group or others and not sticky";
  return nullptr;
}

struct TTempFolder {
  std::string Path;
  os::TFileDescriptor Folder;
};

// Checked on the descriptor, so what was checked is what is used; a link in
// the last place is refused rather than followed. Raises an Exception with the
// reason.
TTempFolder OpenTrustedFolder(const std::string& Path) {
  TTempFolder Opened{Path, os::TFileDescriptor(::open(Path.c_str(), kFolderFlags))};
  if (!Opened.Folder.IsOpen()) os::RaiseLastOsError(FromUtf8(Path) + u" cannot be opened as a folder");
  struct stat Info {};
  if (::fstat(Opened.Folder.Get(), &Info) != 0) os::RaiseLastOsError(FromUtf8(Path) + u" cannot be checked");
  if (const char16_t* Reason = DistrustedBecause(Info)) throw Exception(FromUtf8(Path) + u" " + Reason);
  return Opened;
}

// TMPDIR when it is absolute, without its trailing slashes (a trailing slash
// would make the last link followed); empty when it is not to be used.
// secure_getenv: a program running with raised rights ignores it.
std::string TmpDirValue() {
  const char* Variable = ::secure_getenv("TMPDIR");
  if (Variable == nullptr || Variable[0] != '/') return {};
  std::string Folder = Variable;
  while (Folder.size() > 1 && Folder.back() == '/') Folder.pop_back();
  return Folder;
}

constexpr const char* kDefaultTempFolder = "/tmp";

// A TMPDIR that cannot be trusted is passed over quietly, as an unusable one
// always was: the environment may come from another user (su without "-").
TTempFolder OpenTrustedTempFolder() {
  const std::string Variable = TmpDirValue();
  if (!Variable.empty()) {
    try {
      return OpenTrustedFolder(Variable);
    } catch (const Exception&) {
    }
  }
  try {
    return OpenTrustedFolder(kDefaultTempFolder);
  } catch (const Exception& E) {
    throw Exception(u"No temporary folder can be used: " + E.Message());
  }
}

// A relative name's parts as the file system takes them.
std::vector<std::string> PartsOf(std::u16string_view RelativeName) {
  std::vector<std::string> Parts;
  for (const std::u16string& Part : NameParts(RelativeName)) Parts.push_back(ToUtf8(Part));
  return Parts;
}

os::TFileDescriptor Duplicate(int Fd) { return os::TFileDescriptor(::fcntl(Fd, F_DUPFD_CLOEXEC, 0)); }

// Whether Name in Parent is still the folder open as Folder: someone who
// controls Parent may have put something else under the name by now, a link or
// a folder of someone else's.
bool NamesFolder(int Parent, const char* Name, int Folder) {
  struct stat Kept {};
  struct stat Named {};
  return ::fstat(Folder, &Kept) == 0 && ::fstatat(Parent, Name, &Named, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISDIR(Named.st_mode) && Named.st_dev == Kept.st_dev && Named.st_ino == Kept.st_ino;
}

// A live TPrivateFolder holds its folder's lock; the lock goes with the
// process, so the folder of a host that has ended is free.
bool TakeFolderLock(int Folder) { return ::flock(Folder, LOCK_EX | LOCK_NB) == 0; }

// The names in the folder, "." and ".." left out. Read through a descriptor
// of its own: the folder's may not be moved on.
std::vector<std::string> EntryNames(int Folder) {
  os::TFileDescriptor Listed(::openat(Folder, ".", kFolderFlags));
  DIR* Opened = Listed.IsOpen() ? ::fdopendir(Listed.Get()) : nullptr;
  if (Opened == nullptr) return {};
  Listed.Release();
  const std::unique_ptr<DIR, int (*)(DIR*)> Listing(Opened, ::closedir);
  std::vector<std::string> Names;
  while (const dirent* Entry = ::readdir(Listing.get())) {
    const std::string_view Name = Entry->d_name;
    if (Name != "." && Name != "..") Names.emplace_back(Name);
  }
  return Names;
}

constexpr time_t kAbandonedAfterSeconds = 24 * 60 * 60;

bool UnchangedForADay(const struct stat& Info) {
  timespec Now{};
  ::clock_gettime(CLOCK_REALTIME, &Now);
  return Now.tv_sec - Info.st_mtim.tv_sec > kAbandonedAfterSeconds;
}

// This user's own, left alone for a day, and held by no live TPrivateFolder.
bool IsAbandoned(int Folder) {
  struct stat Info {};
  return ::fstat(Folder, &Info) == 0 && S_ISDIR(Info.st_mode) && Info.st_uid == ::geteuid() && UnchangedForADay(Info) &&
         TakeFolderLock(Folder);
}

// The folder's entries when every one is a regular file, as the help writes
// them; nothing when there is anything else.
std::optional<std::vector<std::string>> OnlyFiles(int Folder) {
  std::vector<std::string> Names = EntryNames(Folder);
  for (const std::string& Name : Names) {
    struct stat Info {};
    if (::fstatat(Folder, Name.c_str(), &Info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(Info.st_mode)) return std::nullopt;
  }
  return Names;
}

void RemoveIfAbandoned(int Temp, const char* Name) {
  const os::TFileDescriptor Folder(::openat(Temp, Name, kFolderFlags));
  if (!Folder.IsOpen() || !IsAbandoned(Folder.Get())) return;
  const std::optional<std::vector<std::string>> Files = OnlyFiles(Folder.Get());
  if (!Files) return;
  for (const std::string& File : *Files) ::unlinkat(Folder.Get(), File.c_str(), 0);
  if (NamesFolder(Temp, Name, Folder.Get())) ::unlinkat(Temp, Name, AT_REMOVEDIR);
}

// The folder the first Count parts lead to below Folder, following no link;
// not open (errno set) when there is none.
os::TFileDescriptor OpenBelow(int Folder, const std::vector<std::string>& Parts, std::size_t Count) {
  os::TFileDescriptor Current = Duplicate(Folder);
  for (std::size_t I = 0; I < Count && Current.IsOpen(); ++I)
    Current = os::TFileDescriptor(::openat(Current.Get(), Parts[I].c_str(), kFolderFlags));
  return Current;
}

}  // namespace

// TMPDIR counts only when absolute and only for a program without raised rights.
std::u16string SystemTempFolder() { return FromUtf8(OpenTrustedTempFolder().Path); }

std::u16string NewGuidText() {
  TGuidBytes Bytes{};
  FillRandom(Bytes);
  MarkVersion4(Bytes);
  return BracedGuidText(Bytes);
}

// The folder's descriptor is what the folder is known by: its name in the
// temporary folder is checked against it before the folder is removed.
struct TPrivateFolder::TState {
  os::TFileDescriptor Parent;
  std::string Name;
  os::TFileDescriptor Folder;
  // What was made below the folder, relative to it, in the order made; a
  // folder's name ends with '/'.
  std::vector<std::u16string> Made;

  ~TState() {
    try {
      for (auto Entry = Made.rbegin(); Entry != Made.rend(); ++Entry) RemoveMade(*Entry);
      if (NamesFolder(Parent.Get(), Name.c_str(), Folder.Get())) ::unlinkat(Parent.Get(), Name.c_str(), AT_REMOVEDIR);
    } catch (...) {
    }
  }
  TState() = default;
  TState(const TState&) = delete;
  TState& operator=(const TState&) = delete;

  void RemoveMade(std::u16string_view Relative) const {
    const bool IsFolder = Relative.ends_with(u'/');
    if (IsFolder) Relative.remove_suffix(1);
    const std::vector<std::string> Parts = PartsOf(Relative);
    const os::TFileDescriptor Above = OpenBelow(Folder.Get(), Parts, Parts.size() - 1);
    if (Above.IsOpen()) ::unlinkat(Above.Get(), Parts.back().c_str(), IsFolder ? AT_REMOVEDIR : 0);
  }
};

TPrivateFolder::TPrivateFolder(const std::u16string& Name) : FState(std::make_unique<TState>()) {
  TTempFolder Temp = OpenTrustedTempFolder();
  FPath = FromUtf8(Temp.Path == "/" ? Temp.Path : Temp.Path + "/") + Name;
  FState->Name = ToUtf8(Name);
  if (::mkdirat(Temp.Folder.Get(), FState->Name.c_str(), 0700) != 0)
    os::RaiseLastOsError(u"Creating the folder " + FPath);
  FState->Parent = std::move(Temp.Folder);
  FState->Folder = os::TFileDescriptor(::openat(FState->Parent.Get(), FState->Name.c_str(), kFolderFlags));
  if (!FState->Folder.IsOpen()) os::RaiseLastOsError(u"Opening the folder " + FPath);
  // Nobody else has the new folder open, so this cannot fail for a lock taken.
  TakeFolderLock(FState->Folder.Get());
}

TPrivateFolder::~TPrivateFolder() = default;
TPrivateFolder::TPrivateFolder(TPrivateFolder&& Other) noexcept = default;
TPrivateFolder& TPrivateFolder::operator=(TPrivateFolder&& Other) noexcept = default;

void TPrivateFolder::CreateFolders(std::u16string_view RelativeName) {
  os::TFileDescriptor Current = Duplicate(FState->Folder.Get());
  std::u16string Made;
  for (const std::u16string& Part : NameParts(RelativeName)) {
    Made += Part + u"/";
    const std::string Native = ToUtf8(Part);
    if (::mkdirat(Current.Get(), Native.c_str(), 0700) == 0)
      FState->Made.push_back(Made);
    else if (errno != EEXIST)
      os::RaiseLastOsError(u"Creating the folder " + FPath + u"/" + Made);
    Current = os::TFileDescriptor(::openat(Current.Get(), Native.c_str(), kFolderFlags));
    if (!Current.IsOpen()) os::RaiseLastOsError(u"Opening the folder " + FPath + u"/" + Made);
  }
}

void TPrivateFolder::WriteNewFile(std::u16string_view RelativeName, std::string_view Bytes) {
  const std::u16string Path = FPath + u"/" + std::u16string(RelativeName);
  const std::vector<std::string> Parts = PartsOf(RelativeName);
  const os::TFileDescriptor Above = OpenBelow(FState->Folder.Get(), Parts, Parts.size() - 1);
  if (!Above.IsOpen()) os::RaiseLastOsError(u"Opening the folder of " + Path);
  // Named before it is made, so that even a half-written file is removed with the folder.
  FState->Made.emplace_back(RelativeName);
  const os::TFileDescriptor File(
      ::openat(Above.Get(), Parts.back().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!File.IsOpen()) os::RaiseLastOsError(u"Creating the file " + Path);
  os::WriteAll(File.Get(), Bytes);
}

void RemoveAbandonedFolders() noexcept {
  try {
    const TTempFolder Temp = OpenTrustedTempFolder();
    for (const std::string& Name : EntryNames(Temp.Folder.Get()))
      if (IsGuidText(FromUtf8(Name))) RemoveIfAbandoned(Temp.Folder.Get(), Name.c_str());
  } catch (...) {
  }
}

}  // namespace help
