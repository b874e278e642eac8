// Which WebKitGTK the document window may load, given what the process already
// holds: two WebKits (or libsoup 2 beside libsoup 3) in one process can bring
// the host down, so the wrong answer is a crash at the cashier's desk.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/posix/WebKit.posix.h"

namespace {

using os::webkit::ChooseBuild;

TEST(WebKitChoice, UsesTheBuildAlreadyHeldAndNeverAddsASecond) {
  const struct {
    const char* Name;
    std::set<std::string> Loaded;
    std::set<std::string> Installed;
    const char* Chosen;  // the WebKit library, or none (the browser)
  } Cases[] = {
      {"nothing held, both installed",
       {},
       {"libwebkit2gtk-4.1.so.0", "libwebkit2gtk-4.0.so.37"},
       "libwebkit2gtk-4.1.so.0"},
      {"nothing held, the older one installed", {}, {"libwebkit2gtk-4.0.so.37"}, "libwebkit2gtk-4.0.so.37"},
      {"nothing held, none installed", {}, {}, nullptr},
      {"the host holds the older one",
       {"libwebkit2gtk-4.0.so.37", "libjavascriptcoregtk-4.0.so.18"},
       {"libwebkit2gtk-4.1.so.0", "libwebkit2gtk-4.0.so.37"},
       "libwebkit2gtk-4.0.so.37"},
      {"the host holds libsoup 2 only", {"libsoup-2.4.so.1"}, {"libwebkit2gtk-4.1.so.0"}, nullptr},
      {"the host holds libsoup 3 only", {"libsoup-3.0.so.0"}, {"libwebkit2gtk-4.1.so.0"}, "libwebkit2gtk-4.1.so.0"},
      {"the older JavaScriptCore beside the newer WebKit's libsoup",
       {"libjavascriptcoregtk-4.0.so.18", "libsoup-3.0.so.0"},
       {"libwebkit2gtk-4.1.so.0", "libwebkit2gtk-4.0.so.37"},
       nullptr},
      {"WebKitGTK 6 held", {"libwebkitgtk-6.0.so.4"}, {"libwebkit2gtk-4.1.so.0"}, nullptr},
      {"an old JavaScriptCore held", {"libjavascriptcoregtk-3.0.so.0"}, {"libwebkit2gtk-4.1.so.0"}, nullptr},
  };
  for (const auto& Case : Cases) {
    const auto* Build = ChooseBuild([&](const char* Name) { return Case.Loaded.contains(Name); },
                                    [&](const char* Name) { return Case.Installed.contains(Name); });
    const std::string Chosen = Build != nullptr ? Build->WebKit : "none";
    EXPECT_EQ(Chosen, Case.Chosen != nullptr ? Case.Chosen : "none") << Case.Name;
  }
}

}  // namespace
