#include "platform/Os.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "platform/Exception.h"
#include "platform/Text.h"
#include "platform/windows/FileHandle.windows.h"
#include "platform/windows/Module.windows.h"
#include "platform/windows/OsError.windows.h"

namespace os {

namespace {

// Another process holds the day's file for its own append: such a lock lasts
// microseconds, so waiting a little beats losing the line.
constexpr int SharingRetries = 50;
constexpr DWORD SharingRetryPauseMs = 10;

std::wstring NativePath(const std::u16string& Path) { return ToWide(Path); }

SYSTEMTIME ToSystemTime(const LocalDateTime& Value) {
  SYSTEMTIME Time{};
  Time.wYear = static_cast<WORD>(Value.Year);
  Time.wMonth = static_cast<WORD>(Value.Month);
  Time.wDay = static_cast<WORD>(Value.Day);
  Time.wHour = static_cast<WORD>(Value.Hour);
  Time.wMinute = static_cast<WORD>(Value.Minute);
  Time.wSecond = static_cast<WORD>(Value.Second);
  Time.wMilliseconds = static_cast<WORD>(Value.Millisecond);
  return Time;
}

// Calls a Win32 text function twice: once for the size, once for the text.
// Empty when the OS refuses.
template <class TQuery>
std::u16string QueryText(TQuery Query) {
  const int Size = Query(nullptr, 0);
  if (Size <= 0) return {};
  std::vector<wchar_t> Buffer(static_cast<std::size_t>(Size));
  const int Written = Query(Buffer.data(), Size);
  if (Written <= 0) return {};
  return FromWide(std::wstring_view(Buffer.data(), static_cast<std::size_t>(Written - 1)));
}

std::u16string LocaleDate(const SYSTEMTIME& Time) {
  return QueryText([&Time](wchar_t* Out, int Size) {
    return ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &Time, nullptr, Out, Size, nullptr);
  });
}

std::u16string LocaleTime(const SYSTEMTIME& Time) {
  return QueryText([&Time](wchar_t* Out, int Size) {
    return ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &Time, nullptr, Out, Size);
  });
}

bool IsSeparator(wchar_t C) { return C == L'\\' || C == L'/'; }

std::wstring WithoutTrailingSeparators(std::wstring Path) {
  while (Path.size() > 1 && IsSeparator(Path.back()) && Path[Path.size() - 2] != L':') Path.pop_back();
  return Path;
}

// Empty for a drive root or a share's root: nothing above it can be created.
std::wstring ParentFolder(const std::wstring& Path) {
  const auto Slash = Path.find_last_of(L"\\/");
  if (Slash == std::wstring::npos || Slash == 0 || Path[Slash - 1] == L':' || IsSeparator(Path[Slash - 1])) return {};
  return WithoutTrailingSeparators(Path.substr(0, Slash));
}

bool IsDirectory(const std::wstring& Path) {
  const DWORD Attributes = ::GetFileAttributesW(Path.c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolderTree(const std::wstring& Folder) {
  if (Folder.empty() || IsDirectory(Folder)) return false;
  const std::wstring Parent = ParentFolder(Folder);
  if (!Parent.empty()) CreateFolderTree(Parent);
  if (::CreateDirectoryW(Folder.c_str(), nullptr)) return true;
  const DWORD Code = ::GetLastError();
  if (Code == ERROR_ALREADY_EXISTS && IsDirectory(Folder)) return false;
  RaiseOsError(Code, u"Cannot create the folder " + FromWide(Folder));
}

std::u16string SystemMessage(DWORD Code) {
  wchar_t* Text = nullptr;
  const DWORD Length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, Code, 0, reinterpret_cast<wchar_t*>(&Text), 0, nullptr);
  std::u16string Message = Length > 0 ? FromWide(std::wstring_view(Text, Length)) : std::u16string();
  ::LocalFree(Text);
  while (!Message.empty() && (Message.back() == u'\n' || Message.back() == u'\r' || Message.back() == u' '))
    Message.pop_back();
  return Message;
}

// Deny-write sharing makes the whole append exclusive between processes.
HANDLE OpenForAppend(const std::wstring& Path) {
  for (int Attempt = 0;; ++Attempt) {
    const HANDLE File = ::CreateFileW(Path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_SHARING_VIOLATION || Attempt >= SharingRetries)
      return File;
    ::Sleep(SharingRetryPauseMs);
  }
}

std::wstring ModuleFileName(HMODULE Module) {
  std::vector<wchar_t> Buffer(MAX_PATH);
  for (;;) {
    const DWORD Length = ::GetModuleFileNameW(Module, Buffer.data(), static_cast<DWORD>(Buffer.size()));
    if (Length == 0) RaiseLastOsError(u"Cannot find the module's file");
    if (Length < Buffer.size()) return std::wstring(Buffer.data(), Length);
    Buffer.resize(Buffer.size() * 2);
  }
}

}  // namespace

// The short 8.3 form where the long name cannot be had.
std::wstring LongPathName(const std::wstring& Path) {
  const DWORD Size = ::GetLongPathNameW(Path.c_str(), nullptr, 0);
  if (Size == 0) return Path;
  std::vector<wchar_t> Buffer(Size);
  const DWORD Length = ::GetLongPathNameW(Path.c_str(), Buffer.data(), Size);
  return Length > 0 && Length < Size ? std::wstring(Buffer.data(), Length) : Path;
}

void WriteAll(HANDLE File, std::string_view Bytes) {
  while (!Bytes.empty()) {
    DWORD Written = 0;
    const DWORD Chunk = Bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(Bytes.size());
    if (!::WriteFile(File, Bytes.data(), Chunk, &Written, nullptr) || Written == 0)
      RaiseLastOsError(u"Cannot write to the file");
    Bytes.remove_prefix(Written);
  }
}

LocalDateTime Now() {
  SYSTEMTIME Time{};
  ::GetLocalTime(&Time);
  LocalDateTime Result;
  Result.Year = Time.wYear;
  Result.Month = Time.wMonth;
  Result.Day = Time.wDay;
  Result.Hour = Time.wHour;
  Result.Minute = Time.wMinute;
  Result.Second = Time.wSecond;
  Result.Millisecond = Time.wMilliseconds;
  return Result;
}

// The 32-bit counter on purpose: callers compare it with stored 32-bit ticks.
uint32_t TickCount() noexcept { return static_cast<uint32_t>(::GetTickCount()); }

void SleepMs(uint32_t Milliseconds) noexcept { ::Sleep(Milliseconds); }

std::u16string TimeSeparator() {
  std::u16string Separator = QueryText(
      [](wchar_t* Out, int Size) { return ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STIME, Out, Size); });
  return Separator.empty() ? std::u16string(u":") : Separator;
}

// Dates the OS cannot show (before 1601, such as the host's empty date) fall
// back to the fixed layout.
std::u16string FormatLocaleDateTime(const LocalDateTime& Value, bool IncludeTime) {
  const SYSTEMTIME Time = ToSystemTime(Value);
  std::u16string Date = LocaleDate(Time);
  if (Date.empty()) return FormatFixedDateTime(Value, IncludeTime);
  if (!IncludeTime) return Date;
  const std::u16string TimeText = LocaleTime(Time);
  if (TimeText.empty()) return FormatFixedDateTime(Value, IncludeTime);
  return Date + u' ' + TimeText;
}

std::u16string MachineAppDataFolder() {
  wchar_t Folder[MAX_PATH + 1] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, Folder, CSIDL_COMMON_APPDATA, TRUE))
    throw Exception(std::string_view("The machine-wide application-data folder is not available"));
  return FromWide(WithoutTrailingSeparators(Folder));
}

char16_t PathSeparator() noexcept { return u'\\'; }

bool DirectoryExists(const std::u16string& Path) { return IsDirectory(NativePath(Path)); }

bool CreateDirectories(const std::u16string& Path) {
  return CreateFolderTree(WithoutTrailingSeparators(NativePath(Path)));
}

AppendResult AppendToFile(const std::u16string& Path, std::string_view Bytes) {
  const TFileHandle File(OpenForAppend(NativePath(Path)));
  if (File.Get() == INVALID_HANDLE_VALUE) {
    const DWORD Code = ::GetLastError();
    if (Code == ERROR_PATH_NOT_FOUND) return AppendResult::FolderMissing;
    RaiseOsError(Code, u"Cannot open the file " + Path);
  }
  if (!::SetFilePointerEx(File.Get(), LARGE_INTEGER{}, nullptr, FILE_END))
    RaiseLastOsError(u"Cannot move to the end of the file");
  WriteAll(File.Get(), Bytes);
  return AppendResult::Ok;
}

HMODULE ModuleOfAddress(const void* Address) noexcept {
  HMODULE Module = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(Address), &Module))
    return nullptr;
  return Module;
}

HMODULE OwnModule() noexcept { return ModuleOfAddress(reinterpret_cast<const void*>(&OwnModule)); }

std::u16string ModuleFilePath(const void* Address) {
  HMODULE Module = ModuleOfAddress(Address);
  if (Module == nullptr) RaiseLastOsError(u"The address belongs to no loaded module");
  return FromWide(LongPathName(ModuleFileName(Module)));
}

// Builds the message after taking the code: building it may change the last error.
void RaiseOsError(DWORD Code, std::u16string_view Attempt) {
  throw Exception(std::u16string(Attempt) + u": " + SystemMessage(Code) + u" (" + IntToText(Code) + u")");
}

void RaiseLastOsError(std::u16string_view Attempt) { RaiseOsError(::GetLastError(), Attempt); }

}  // namespace os
