// The temporary folder the help renderer works in, as TMPDIR names it.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/ScopedTempVariable.h"
#include "help/Help.TempFolder.h"
#include "help/uMarkdownRenderer.h"
#include "platform/Text.h"

namespace {

using helptest::TScopedTempVariable;

TEST(HelpTempFolder, OnlyAnAbsoluteTmpDirCountsAndLosesItsTrailingSlashes) {
  const struct {
    std::optional<std::u16string> TmpDir;
    std::u16string Folder;
  } Cases[] = {
      {std::nullopt, u"/tmp"}, {u"", u"/tmp"}, {u"relative/tmp", u"/tmp"}, {u"/var/tmp///", u"/var/tmp"}, {u"/", u"/"},
  };
  for (const auto& Case : Cases) {
    const TScopedTempVariable TmpDir(Case.TmpDir);
    EXPECT_EQ(ToUtf8(help::SystemTempFolder()), ToUtf8(Case.Folder)) << ToUtf8(Case.TmpDir.value_or(u"(unset)"));
  }
}

TEST(HelpTempFolder, RendererFolderLiesInTheTemporaryFolder) {
  const TScopedTempVariable TmpDir(u"/var/tmp/");
  const TMarkdownRenderer Renderer(u"help", [](std::u16string_view) { return std::nullopt; });
  EXPECT_TRUE(Renderer.TempDirectory().starts_with(u"/var/tmp/{")) << ToUtf8(Renderer.TempDirectory());
}

}  // namespace
