// The temporary folder the help renderer works in, as TMP names it: the page's
// path is shown to the user and handed to the browser control, so it must be
// the folder's long form even when TMP holds 8.3 names (as it often does).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/ScopedTempVariable.h"
#include "help/Help.TempFolder.h"
#include "help/uMarkdownRenderer.h"
#include "platform/Text.h"

namespace {

using helptest::TScopedTempVariable;

std::wstring ShortPathName(const std::wstring& Path) {
  std::vector<wchar_t> Buffer(MAX_PATH + 1);
  const DWORD Length = ::GetShortPathNameW(Path.c_str(), Buffer.data(), static_cast<DWORD>(Buffer.size()));
  return Length > 0 && Length < Buffer.size() ? std::wstring(Buffer.data(), Length) : Path;
}

// A folder with a long, non-ASCII name in the temporary folder, removed at the end.
class HelpTempFolder : public ::testing::Test {
protected:
  void SetUp() override {
    FLong = help::SystemTempFolder() + u"\\Справка orvex help folder";
    ASSERT_TRUE(::CreateDirectoryW(ToWide(FLong).c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    FShort = ShortPathName(ToWide(FLong));
  }
  void TearDown() override { ::RemoveDirectoryW(ToWide(FLong).c_str()); }

  std::u16string FLong;
  std::wstring FShort;
};

TEST_F(HelpTempFolder, IsTheLongFormWithoutATrailingSeparator) {
  if (FShort == ToWide(FLong)) GTEST_SKIP() << "this file system gives no 8.3 names";
  const struct {
    std::wstring Tmp;
    std::u16string Folder;
  } Cases[] = {
      {FShort, FLong},
      {FShort + L"\\", FLong},
      {ToWide(FLong) + L"\\", FLong},
      {L"C:\\", u"C:\\"},
  };
  for (const auto& Case : Cases) {
    const TScopedTempVariable Tmp(FromWide(Case.Tmp));
    EXPECT_EQ(ToUtf8(help::SystemTempFolder()), ToUtf8(Case.Folder)) << ToUtf8(FromWide(Case.Tmp));
  }
}

TEST_F(HelpTempFolder, RendererFolderLiesInItAndIsGoneAfterwards) {
  const TScopedTempVariable Tmp(FromWide(FShort));
  std::u16string Folder;
  {
    const TMarkdownRenderer Renderer(u"help", [](std::u16string_view) { return std::nullopt; });
    Folder = Renderer.TempDirectory();
    EXPECT_TRUE(Folder.starts_with(FLong + u"\\{")) << ToUtf8(Folder);
    EXPECT_NE(::GetFileAttributesW(ToWide(Folder).c_str()), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_EQ(::GetFileAttributesW(ToWide(Folder).c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
