#pragma once
// The narrow interface over the operating system. One implementation file per
// OS (posix/, windows/); everything else in the library is portable.
#include <cstdint>
#include <string>
#include <string_view>
#include "DateTime.h"

namespace os {

// Local wall-clock time with milliseconds.
LocalDateTime Now();

// Milliseconds since the system started, wrapping around every 49.7 days like
// the 32-bit counters it is compared with; for pauses and pacing, not dates.
uint32_t TickCount() noexcept;
void SleepMs(uint32_t Milliseconds) noexcept;

// The user locale's time separator (":" where the OS has no such setting).
std::u16string TimeSeparator();

// A date and time in the user locale's short date and long time formats; the
// time is left out when IncludeTime is false.
std::u16string FormatLocaleDateTime(const LocalDateTime& Value, bool IncludeTime);

// The machine-wide application-data folder, without a trailing separator.
std::u16string MachineAppDataFolder();

// The path separator of the platform: '\\' on Windows, '/' elsewhere.
char16_t PathSeparator() noexcept;

bool DirectoryExists(const std::u16string& Path);
// Creates the folder and every missing parent. Returns false when it existed.
// Raises an Exception when it cannot be created.
bool CreateDirectories(const std::u16string& Path);

enum class AppendResult { Ok, FolderMissing };
// Appends the bytes as one whole piece, also between processes (advisory lock on
// POSIX, deny-write sharing with a short retry on Windows). A file created here
// can be appended to by every local user. Raises an Exception on failure.
AppendResult AppendToFile(const std::u16string& Path, std::string_view Bytes);

// The full path of the module (shared library or executable) that holds Address.
std::u16string ModuleFilePath(const void* Address);

// Raises an Exception naming what was attempted and the OS's own reason for the
// last failure (errno on POSIX, GetLastError on Windows).
[[noreturn]] void RaiseLastOsError(std::u16string_view Attempt);

// Appends Value in decimal, left-padded with zeros to Width digits: the fixed
// date and time layouts of the log and of systems without locale formats.
// Out is a UTF-16 or a UTF-8 string: the digits are ASCII either way.
template <class String>
inline void AppendZeroPadded(String& Out, int Value, int Width) {
  using Char = typename String::value_type;
  Char Digits[10];
  int Count = 0;
  auto Rest = static_cast<unsigned>(Value < 0 ? 0 : Value);
  do {
    Digits[Count++] = static_cast<Char>('0' + Rest % 10);
    Rest /= 10;
  } while (Rest != 0);
  for (int I = Count; I < Width; ++I) Out.push_back(Char('0'));
  while (Count > 0) Out.push_back(Digits[--Count]);
}

// "dd.mm.yyyy" and "hh:nn:ss": the layout of the systems this driver serves,
// used where the OS offers no locale formats or refuses the date.
inline std::u16string FormatFixedDateTime(const LocalDateTime& Value, bool IncludeTime) {
  std::u16string Out;
  AppendZeroPadded(Out, Value.Day, 2);
  Out.push_back(u'.');
  AppendZeroPadded(Out, Value.Month, 2);
  Out.push_back(u'.');
  AppendZeroPadded(Out, Value.Year, 4);
  if (IncludeTime) {
    Out.push_back(u' ');
    AppendZeroPadded(Out, Value.Hour, 2);
    Out.push_back(u':');
    AppendZeroPadded(Out, Value.Minute, 2);
    Out.push_back(u':');
    AppendZeroPadded(Out, Value.Second, 2);
  }
  return Out;
}

}  // namespace os
