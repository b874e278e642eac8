#include "help/Help.TempFolder.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

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

int RemoveEntry(const char* Path, const struct stat*, int, struct FTW*) {
  std::remove(Path);
  return 0;  // go on: whatever can be removed is
}

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
  TTempFolder Opened{Path, os::TFileDescriptor(::open(Path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))};
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

}  // namespace

// TMPDIR counts only when absolute and only for a program without raised rights.
std::u16string SystemTempFolder() { return FromUtf8(OpenTrustedTempFolder().Path); }

std::u16string NewGuidText() {
  TGuidBytes Bytes{};
  FillRandom(Bytes);
  MarkVersion4(Bytes);
  return BracedGuidText(Bytes);
}

void CreatePrivateFolder(const std::u16string& Path) {
  if (::mkdir(ToUtf8(Path).c_str(), 0700) != 0) os::RaiseLastOsError(u"Creating the folder " + Path);
}

void WriteNewFile(const std::u16string& Path, std::string_view Bytes) {
  const os::TFileDescriptor File(
      ::open(ToUtf8(Path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!File.IsOpen()) os::RaiseLastOsError(u"Creating the file " + Path);
  os::WriteAll(File.Get(), Bytes);
}

// Depth first, so each folder is empty when its turn comes; links are not followed.
void DeleteFolderTree(const std::u16string& Path) noexcept {
  try {
    ::nftw(ToUtf8(Path).c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
  } catch (...) {
  }
}

void DeleteFolderWithFiles(const std::u16string& Folder, const std::vector<std::u16string>& Files) noexcept {
  try {
    for (const std::u16string& File : Files) ::unlink(ToUtf8(File).c_str());
    if (::rmdir(ToUtf8(Folder).c_str()) != 0) DeleteFolderTree(Folder);
  } catch (...) {
    DeleteFolderTree(Folder);
  }
}

}  // namespace help
