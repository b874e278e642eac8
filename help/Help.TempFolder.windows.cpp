#include "help/Help.TempFolder.h"

#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
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

// The temporary folder may be a drive's root, which keeps its separator.
std::u16string PathIn(const std::u16string& Folder, std::u16string_view Name) {
  return Folder.ends_with(u'\\') ? Folder + std::u16string(Name) : Folder + u"\\" + std::u16string(Name);
}

// A live TPrivateFolder keeps its folder open without sharing deletion, so
// opening the folder for deletion fails while it lives. Reading the folder's
// list is asked for as well: a handle of attributes alone takes part in no
// sharing.
HANDLE HoldFolder(const std::wstring& Folder) {
  return ::CreateFileW(Folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

HANDLE ClaimFolder(const std::wstring& Folder) {
  return ::CreateFileW(Folder.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsPlainFolder(DWORD Attributes) {
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

uint64_t AsNumber(const FILETIME& Time) {
  return (static_cast<uint64_t>(Time.dwHighDateTime) << 32) | Time.dwLowDateTime;
}

constexpr uint64_t kAbandonedAfter100ns = 24ull * 60 * 60 * 10'000'000;

bool UnchangedForADay(HANDLE Folder) {
  FILETIME Written{};
  if (!::GetFileTime(Folder, nullptr, nullptr, &Written)) return false;
  FILETIME Now{};
  ::GetSystemTimeAsFileTime(&Now);
  return AsNumber(Now) > AsNumber(Written) + kAbandonedAfter100ns;
}

// The paths of the folder's entries when every one is a plain file, as the
// help writes them; nothing when there is anything else.
std::optional<std::vector<std::wstring>> OnlyFiles(const std::wstring& Folder) {
  WIN32_FIND_DATAW Found{};
  const os::TFindHandle Search(::FindFirstFileW((Folder + L"\\*").c_str(), &Found));
  if (!Search.IsOpen()) return std::nullopt;
  std::vector<std::wstring> Files;
  do {
    const std::wstring Name = Found.cFileName;
    if (Name == L"." || Name == L"..") continue;
    if ((Found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) return std::nullopt;
    Files.push_back(Folder + L"\\" + Name);
  } while (::FindNextFileW(Search.Get(), &Found));
  return Files;
}

// Listed before it is claimed: a search of the folder need not share deletion.
void RemoveIfAbandoned(const std::wstring& Folder) {
  if (!IsPlainFolder(::GetFileAttributesW(Folder.c_str()))) return;
  const std::optional<std::vector<std::wstring>> Files = OnlyFiles(Folder);
  if (!Files) return;
  {
    const os::TFileHandle Claimed(ClaimFolder(Folder));
    if (!Claimed.IsOpen() || !UnchangedForADay(Claimed.Get())) return;
    for (const std::wstring& File : *Files) ::DeleteFileW(File.c_str());
  }
  ::RemoveDirectoryW(Folder.c_str());
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
  std::optional<os::TFileHandle> Held;
  // What was made below the folder, in the order made: each path and whether
  // it names a folder.
  std::vector<std::pair<std::u16string, bool>> Made;

  ~TState() {
    try {
      for (auto Entry = Made.rbegin(); Entry != Made.rend(); ++Entry) RemoveMade(Entry->first, Entry->second);
      Held.reset();
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
  FPath = PathIn(SystemTempFolder(), Name);
  if (!::CreateDirectoryW(ToWide(FPath).c_str(), nullptr)) os::RaiseLastOsError(u"Creating the folder " + FPath);
  FState->Path = FPath;
  FState->Held.emplace(HoldFolder(ToWide(FPath)));
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

void RemoveAbandonedFolders() noexcept {
  try {
    const std::u16string Temp = SystemTempFolder();
    WIN32_FIND_DATAW Found{};
    const os::TFindHandle Search(::FindFirstFileW(ToWide(PathIn(Temp, u"*")).c_str(), &Found));
    if (!Search.IsOpen()) return;
    std::vector<std::wstring> Candidates;
    do {
      const std::u16string Name = FromWide(Found.cFileName);
      if (IsGuidText(Name)) Candidates.push_back(ToWide(PathIn(Temp, Name)));
    } while (::FindNextFileW(Search.Get(), &Found));
    for (const std::wstring& Folder : Candidates) RemoveIfAbandoned(Folder);
  } catch (...) {
  }
}

}  // namespace help
