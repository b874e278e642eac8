#pragma once
// The library's own file, its file version, and the OS text of the start banner.
#include <array>
#include <cstdint>
#include <string>

using TModuleVersion = std::array<uint16_t, 4>;

// The library's own file in long-path form.
std::u16string GetModuleFilePath();
// The library's file version; 0.0.0.0 when it carries none.
TModuleVersion GetModuleVersion();
// The file version stored in any library file; 0.0.0.0 without one or when unreadable.
TModuleVersion ReadModuleVersion(const std::u16string& FilePath);
// "%d.%d.%d.%d"
std::u16string ModuleVersionText(const TModuleVersion& Version);
std::u16string GetOSVersionText();
