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
  // Sharing reading, writing and deleting: the driver's own appends go on.
  TFileHandle File(::CreateFileW(ToWide(Path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!File.IsOpen()) RaiseLastOsError(ReadFailureText(Path));
  if (::GetFileType(File.Get()) != FILE_TYPE_DISK) throw Exception(ReadFailureText(Path) + u": not a regular file");
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

}  // namespace os
