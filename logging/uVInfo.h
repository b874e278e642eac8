#pragma once
// The library's own file, its file version, and the OS text of the start banner.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

using TModuleVersion = std::array<uint16_t, 4>;

// The library's own file in long-path form, found once per process.
const std::u16string& GetModuleFilePath();
// The library's file version, read once per process; 0.0.0.0 when it carries none.
TModuleVersion GetModuleVersion();
// The file version stored in any library file; 0.0.0.0 without one or when unreadable.
TModuleVersion ReadModuleVersion(const std::u16string& FilePath);
// "%d.%d.%d.%d"
std::u16string ModuleVersionText(const TModuleVersion& Version);
std::u16string GetOSVersionText();

// On ELF systems the version lives in a section of its own, four 16-bit numbers
// in the machine's byte order, most significant first.
#define ORVEX_VERSION_SECTION ".fileversion"

// What the OS tells about itself.
struct TOSVersionFacts {
  std::u16string Name;         // "Windows 10", a distribution's name
  std::u16string ServicePack;  // may be empty
  uint32_t Major = 0, Minor = 0, Build = 0;
};
// Asks the OS; empty when it does not answer.
std::optional<TOSVersionFacts> QueryOSVersionFacts();
// The name, a blank, the service pack and a blank when there is one, then
// "(major.minor.build)"; "Unknown " when the OS did not answer.
std::u16string FormatOSVersionText(const std::optional<TOSVersionFacts>& Facts);
