#include "help/Help.TempFolder.h"

#include <windows.h>
#include <objbase.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/Exception.h"
#include "platform/Os.h"
#include "platform/Text.h"
#include "platform/windows/FileHandle.windows.h"

namespace help {
namespace {

std::wstring TempPathAsGiven() {
  std::vector<wchar_t> Buffer(MAX_PATH + 1);
  const DWORD Length = ::GetTempPathW(static_cast<DWORD>(Buffer.size()), Buffer.data());
  if (Length == 0 || Length >= Buffer.size()) os::RaiseLastOsError(u"Finding the temporary folder");
  return std::wstring(Buffer.data(), Length);
}

}  // namespace

// TMP often holds the 8.3 form of the user's profile path.
std::u16string SystemTempFolder() {
  std::u16string Folder = FromWide(os::LongPathName(TempPathAsGiven()));
  while (Folder.size() > 3 && (Folder.back() == u'\\' || Folder.back() == u'/')) Folder.pop_back();
  return Folder;
}

std::u16string NewGuidText() {
  GUID Guid{};
  const HRESULT Result = ::CoCreateGuid(&Guid);
  if (FAILED(Result)) throw Exception(u"Cannot make a GUID: error " + IntToText(static_cast<uint32_t>(Result)));
  wchar_t Text[40] = {};
  ::StringFromGUID2(Guid, Text, 40);
  return FromWide(Text);
}

void CreatePrivateFolder(const std::u16string& Path) {
  if (!::CreateDirectoryW(ToWide(Path).c_str(), nullptr)) os::RaiseLastOsError(u"Creating the folder " + Path);
}

void WriteNewFile(const std::u16string& Path, std::string_view Bytes) {
  const os::TFileHandle File(
      ::CreateFileW(ToWide(Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!File.IsOpen()) os::RaiseLastOsError(u"Creating the file " + Path);
  os::WriteAll(File.Get(), Bytes);
}

// remove_all removes junctions and links themselves, never what they point to.
void DeleteFolderTree(const std::u16string& Path) noexcept {
  try {
    std::error_code Ignored;
    std::filesystem::remove_all(std::filesystem::path(ToWide(Path)), Ignored);
  } catch (...) {
  }
}

void DeleteFolderWithFiles(const std::u16string& Folder, const std::vector<std::u16string>& Files) noexcept {
  try {
    for (const std::u16string& File : Files) ::DeleteFileW(ToWide(File).c_str());
    if (!::RemoveDirectoryW(ToWide(Folder).c_str())) DeleteFolderTree(Folder);
  } catch (...) {
    DeleteFolderTree(Folder);
  }
}

}  // namespace help
