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

}  // namespace

// TMPDIR counts only when absolute and only for a program without raised rights.
std::u16string SystemTempFolder() {
  const char* Variable = ::secure_getenv("TMPDIR");
  std::string Folder = Variable != nullptr && Variable[0] == '/' ? Variable : "/tmp";
  while (Folder.size() > 1 && Folder.back() == '/') Folder.pop_back();
  return FromUtf8(Folder);
}

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
