#include <windows.h>

#include <cwchar>
#include <vector>

#include "logging/uVInfo.h"
#include "platform/Text.h"

namespace {

TModuleVersion SplitFileVersion(const VS_FIXEDFILEINFO& Info) {
  return {HIWORD(Info.dwFileVersionMS), LOWORD(Info.dwFileVersionMS), HIWORD(Info.dwFileVersionLS),
          LOWORD(Info.dwFileVersionLS)};
}

const char16_t* WindowsName(const OSVERSIONINFOW& Info) {
  const DWORD Major = Info.dwMajorVersion, Minor = Info.dwMinorVersion;
  if (Major == 3) return u"Windows NT 3";
  if (Major == 4 && Minor == 0) return Info.dwPlatformId == VER_PLATFORM_WIN32_NT ? u"Windows NT 4" : u"Windows 95";
  if (Major == 4 && Minor == 10) return u"Windows 98";
  if (Major == 4 && Minor == 90) return u"Windows ME";
  if (Major == 5 && Minor == 0) return u"Windows 2000";
  if (Major == 5 && Minor == 1) return u"Windows XP";
  if (Major == 5 && Minor == 2) return u"Windows 2003";
  if (Major == 6 && Minor == 0) return u"Windows Vista";
  if (Major == 6 && Minor == 1) return u"Windows 7";
  if (Major == 6 && Minor == 2) return u"Windows 8.0";
  if (Major == 6 && Minor == 3) return u"Windows 8.1";
  if (Major == 10 && Minor == 0) return u"Windows 10";
  return u"Unknown";
}

}  // namespace

TModuleVersion ReadModuleVersion(const std::u16string& FilePath) {
  const std::wstring Path = ToWide(FilePath);
  DWORD Ignored = 0;
  const DWORD Size = ::GetFileVersionInfoSizeW(Path.c_str(), &Ignored);
  if (Size == 0) return {};
  std::vector<unsigned char> Block(Size);
  if (!::GetFileVersionInfoW(Path.c_str(), 0, Size, Block.data())) return {};
  void* Fixed = nullptr;
  UINT Length = 0;
  if (!::VerQueryValueW(Block.data(), L"\\", &Fixed, &Length) || Fixed == nullptr || Length < sizeof(VS_FIXEDFILEINFO))
    return {};
  const auto* Info = static_cast<const VS_FIXEDFILEINFO*>(Fixed);
  return Info->dwSignature == 0xFEEF04BD ? SplitFileVersion(*Info) : TModuleVersion{};
}

// The numbers are those Windows shows this process, which depend on the host
// program's manifest.
std::optional<TOSVersionFacts> QueryOSVersionFacts() {
  OSVERSIONINFOW Info{};
  Info.dwOSVersionInfoSize = sizeof(Info);
  if (!::GetVersionExW(&Info)) return std::nullopt;
  TOSVersionFacts Facts;
  Facts.Name = WindowsName(Info);
  const std::size_t ServicePackLength = ::wcsnlen(Info.szCSDVersion, sizeof(Info.szCSDVersion) / sizeof(wchar_t));
  Facts.ServicePack = FromWide(std::wstring_view(Info.szCSDVersion, ServicePackLength));
  Facts.Major = Info.dwMajorVersion;
  Facts.Minor = Info.dwMinorVersion;
  Facts.Build = Info.dwBuildNumber;
  return Facts;
}
