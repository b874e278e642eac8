// The temporary folder the help renderer works in, as TMPDIR names it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "help/Help.TempFolder.h"
#include "help/uMarkdownRenderer.h"
#include "platform/Text.h"

namespace {

// Sets TMPDIR (or removes it) for one case and gives back what was there.
class TScopedTmpDir {
public:
  explicit TScopedTmpDir(const char* Value) {
    if (const char* Old = std::getenv("TMPDIR")) FOld = Old;
    Value ? ::setenv("TMPDIR", Value, 1) : ::unsetenv("TMPDIR");
  }
  ~TScopedTmpDir() { FOld ? ::setenv("TMPDIR", FOld->c_str(), 1) : ::unsetenv("TMPDIR"); }
  TScopedTmpDir(const TScopedTmpDir&) = delete;
  TScopedTmpDir& operator=(const TScopedTmpDir&) = delete;

private:
  std::optional<std::string> FOld;
};

TEST(HelpTempFolder, OnlyAnAbsoluteTmpDirCountsAndLosesItsTrailingSlashes) {
  const struct {
    const char* TmpDir;
    std::u16string Folder;
  } Cases[] = {
      {nullptr, u"/tmp"}, {"", u"/tmp"}, {"relative/tmp", u"/tmp"}, {"/var/tmp///", u"/var/tmp"}, {"/", u"/"},
  };
  for (const auto& Case : Cases) {
    const TScopedTmpDir TmpDir(Case.TmpDir);
    EXPECT_EQ(ToUtf8(help::SystemTempFolder()), ToUtf8(Case.Folder)) << (Case.TmpDir ? Case.TmpDir : "(unset)");
  }
}

TEST(HelpTempFolder, RendererFolderLiesInTheTemporaryFolder) {
  const TScopedTmpDir TmpDir("/var/tmp/");
  const TMarkdownRenderer Renderer(u"help", [](std::u16string_view) { return std::nullopt; });
  EXPECT_TRUE(Renderer.TempDirectory().starts_with(u"/var/tmp/{")) << ToUtf8(Renderer.TempDirectory());
}

}  // namespace
