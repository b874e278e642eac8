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

}  // namespace os
