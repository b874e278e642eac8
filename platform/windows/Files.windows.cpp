#include "platform/Files.h"

#include <windows.h>

#include "platform/Exception.h"
#include "platform/Os.h"
#include "platform/Text.h"
#include "platform/windows/FileHandle.windows.h"

namespace os {

namespace {

bool IsDotOrDotDot(const wchar_t* Name) {
  return Name[0] == L'.' && (Name[1] == L'\0' || (Name[1] == L'.' && Name[2] == L'\0'));
}

std::u16string WithSeparator(const std::u16string& Folder) {
  return !Folder.empty() && (Folder.back() == u'\\' || Folder.back() == u'/') ? Folder : Folder + u'\\';
}

// Sharing reading, writing and deleting: the driver's own appends go on.
TFileHandle OpenForReading(const std::u16string& Path, DWORD FlagsAndAttributes) {
  return TFileHandle(::CreateFileW(ToWide(Path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FlagsAndAttributes, nullptr));
}

std::string ReadAll(const TFileHandle& File, const std::u16string& Path, std::size_t MaxBytes) {
  std::string Bytes;
  char Chunk[64 * 1024];
  for (;;) {
    DWORD Read = 0;
    if (!::ReadFile(File.Get(), Chunk, sizeof Chunk, &Read, nullptr)) RaiseLastOsError(ReadFailureText(Path));
    if (Read == 0) return Bytes;
    CheckReadLimit(Path, Bytes.size(), Read, MaxBytes);
    Bytes.append(Chunk, Read);
  }
}

// A link (a reparse point of any kind) or a folder is not a file to read.
TDistrust DistrustOf(DWORD Attributes) {
  if ((Attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return TDistrust::SymbolicLink;
  if ((Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return TDistrust::NotRegularFile;
  return TDistrust::None;
}

}  // namespace

std::vector<std::u16string> FolderEntryNames(const std::u16string& Folder) {
  WIN32_FIND_DATAW Entry{};
  TFindHandle Find(::FindFirstFileW(ToWide(WithSeparator(Folder) + u"*.*").c_str(), &Entry));
  std::vector<std::u16string> Names;
  if (!Find.IsOpen()) {
    // An empty folder on some file systems answers "no file" rather than "." and "..".
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) return Names;
    RaiseLastOsError(u"Cannot list the folder " + Folder);
  }
  do {
    if (!IsDotOrDotDot(Entry.cFileName)) Names.push_back(FromWide(Entry.cFileName));
  } while (::FindNextFileW(Find.Get(), &Entry));
  if (::GetLastError() != ERROR_NO_MORE_FILES) RaiseLastOsError(u"Cannot list the folder " + Folder);
  return Names;
}

std::optional<TFileStamp> FileStamp(const std::u16string& Path) {
  // Read from the folder entry: opening the file could collide with a writer.
  WIN32_FILE_ATTRIBUTE_DATA Data{};
  if (!::GetFileAttributesExW(ToWide(Path).c_str(), GetFileExInfoStandard, &Data)) return std::nullopt;
  const auto Combine = [](DWORD High, DWORD Low) { return (static_cast<uint64_t>(High) << 32) | Low; };
  return TFileStamp{
      static_cast<int64_t>(Combine(Data.ftLastWriteTime.dwHighDateTime, Data.ftLastWriteTime.dwLowDateTime)),
      Combine(Data.nFileSizeHigh, Data.nFileSizeLow)};
}

std::string ReadWholeFile(const std::u16string& Path, std::size_t MaxBytes) {
  const TFileHandle File = OpenForReading(Path, FILE_ATTRIBUTE_NORMAL);
  if (!File.IsOpen()) RaiseLastOsError(ReadFailureText(Path));
  if (::GetFileType(File.Get()) != FILE_TYPE_DISK) throw Exception(ReadFailureText(Path) + u": not a regular file");
  return ReadAll(File, Path, MaxBytes);
}

TDistrust SharedFileDistrust(const std::u16string& Path) {
  const DWORD Attributes = ::GetFileAttributesW(ToWide(Path).c_str());
  return Attributes == INVALID_FILE_ATTRIBUTES ? TDistrust::None : DistrustOf(Attributes);
}

// The link itself is opened, never its target, and judged again once open.
std::string ReadSharedFile(const std::u16string& Path, std::size_t MaxBytes) {
  const TDistrust Entry = SharedFileDistrust(Path);
  if (Entry != TDistrust::None) RaiseUnreadable(Path, Entry);
  const TFileHandle File = OpenForReading(Path, FILE_FLAG_OPEN_REPARSE_POINT);
  if (!File.IsOpen()) RaiseLastOsError(ReadFailureText(Path));
  BY_HANDLE_FILE_INFORMATION Info{};
  if (!::GetFileInformationByHandle(File.Get(), &Info)) RaiseLastOsError(ReadFailureText(Path));
  TDistrust Opened = DistrustOf(Info.dwFileAttributes);
  if (Opened == TDistrust::None && ::GetFileType(File.Get()) != FILE_TYPE_DISK) Opened = TDistrust::NotRegularFile;
  if (Opened != TDistrust::None) RaiseUnreadable(Path, Opened);
  return ReadAll(File, Path, MaxBytes);
}

}  // namespace os
