#include "help/Help.TempFolder.h"

#include <windows.h>
#include <objbase.h>

#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>
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

// Windows' temporary folder is the user's own, so the folder is known by its
// path.
struct TPrivateFolder::TState {
  std::u16string Path;  // empty until the folder is made
  // What was made below the folder, in the order made: each path and whether
  // it names a folder.
  std::vector<std::pair<std::u16string, bool>> Made;

  ~TState() {
    try {
      for (auto Entry = Made.rbegin(); Entry != Made.rend(); ++Entry) RemoveMade(Entry->first, Entry->second);
      if (!Path.empty() && !::RemoveDirectoryW(ToWide(Path).c_str())) RemoveTree(Path);
    } catch (...) {
    }
  }
  TState() = default;
  TState(const TState&) = delete;
  TState& operator=(const TState&) = delete;

  // remove_all removes junctions and links themselves, never what they point to.
  static void RemoveTree(const std::u16string& Folder) {
    std::error_code Ignored;
    std::filesystem::remove_all(std::filesystem::path(ToWide(Folder)), Ignored);
  }

  static void RemoveMade(const std::u16string& Entry, bool IsFolder) {
    if (IsFolder)
      ::RemoveDirectoryW(ToWide(Entry).c_str());
    else
      ::DeleteFileW(ToWide(Entry).c_str());
  }
};

TPrivateFolder::TPrivateFolder(const std::u16string& Name) : FState(std::make_unique<TState>()) {
  const std::u16string Temp = SystemTempFolder();
  FPath = Temp.ends_with(u'\\') ? Temp + Name : Temp + u"\\" + Name;
  if (!::CreateDirectoryW(ToWide(FPath).c_str(), nullptr)) os::RaiseLastOsError(u"Creating the folder " + FPath);
  FState->Path = FPath;
}

TPrivateFolder::~TPrivateFolder() = default;
TPrivateFolder::TPrivateFolder(TPrivateFolder&& Other) noexcept = default;
TPrivateFolder& TPrivateFolder::operator=(TPrivateFolder&& Other) noexcept = default;

void TPrivateFolder::CreateFolders(std::u16string_view RelativeName) {
  std::u16string Path = FPath;
  for (const std::u16string& Part : NameParts(RelativeName)) {
    Path += u"\\" + Part;
    if (::CreateDirectoryW(ToWide(Path).c_str(), nullptr))
      FState->Made.emplace_back(Path, true);
    else if (::GetLastError() != ERROR_ALREADY_EXISTS)
      os::RaiseLastOsError(u"Creating the folder " + Path);
  }
}

void TPrivateFolder::WriteNewFile(std::u16string_view RelativeName, std::string_view Bytes) {
  std::u16string Path = FPath;
  for (const std::u16string& Part : NameParts(RelativeName)) Path += u"\\" + Part;
  // Named before it is made, so that even a half-written file is removed with the folder.
  FState->Made.emplace_back(Path, false);
  const os::TFileHandle File(
      ::CreateFileW(ToWide(Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!File.IsOpen()) os::RaiseLastOsError(u"Creating the file " + Path);
  os::WriteAll(File.Get(), Bytes);
}

}  // namespace help
