#include "logging/uVInfo.h"

#include "platform/Os.h"
#include "platform/Text.h"

namespace {

// Any object of this library serves to find the library's own file (not the
// host program that loaded it).
const char ModuleAnchor = 0;

constexpr std::size_t MaxServicePackLength = 128;

std::u16string VersionNumberText(uint32_t Value) { return IntToText(Value); }

}  // namespace

// A loaded library neither moves nor changes its file version, so both are asked
// once per process; a failed path look-up throws and is asked again next time.
const std::u16string& GetModuleFilePath() {
  static const std::u16string Path = os::ModuleFilePath(&ModuleAnchor);
  return Path;
}

TModuleVersion GetModuleVersion() {
  static const TModuleVersion Version = ReadModuleVersion(GetModuleFilePath());
  return Version;
}

std::u16string ModuleVersionText(const TModuleVersion& Version) {
  return FormatText(u"%s.%s.%s.%s", {VersionNumberText(Version[0]), VersionNumberText(Version[1]),
                                     VersionNumberText(Version[2]), VersionNumberText(Version[3])});
}

std::u16string FormatOSVersionText(const std::optional<TOSVersionFacts>& Facts) {
  if (!Facts) return u"Unknown ";
  std::u16string Text = Facts->Name + u' ';
  const std::u16string_view ServicePack = std::u16string_view(Facts->ServicePack).substr(0, MaxServicePackLength);
  if (!ServicePack.empty()) {
    Text += ServicePack;
    Text += u' ';
  }
  return Text + FormatText(u"(%s.%s.%s)", {VersionNumberText(Facts->Major), VersionNumberText(Facts->Minor),
                                           VersionNumberText(Facts->Build)});
}

std::u16string GetOSVersionText() { return FormatOSVersionText(QueryOSVersionFacts()); }
