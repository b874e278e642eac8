// The temporary folder the help renderer works in, as TMP names it: the page's
// path is shown to the user and handed to the browser control, so it must be
// the folder's long form even when TMP holds 8.3 names (as it often does).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/ScopedTempVariable.h"
#include "help/Help.TempFolder.h"
#include "help/uMarkdownRenderer.h"
#include "platform/Text.h"
#include "platform/windows/FileHandle.windows.h"

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

// Sets the entry's last write back by Back.
void Age(const std::filesystem::path& Path, std::chrono::hours Back) {
  const os::TFileHandle Entry(::CreateFileW(Path.c_str(), FILE_WRITE_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_TRUE(Entry.IsOpen()) << Path;
  FILETIME Now{};
  ::GetSystemTimeAsFileTime(&Now);
  ULARGE_INTEGER Then{};
  Then.LowPart = Now.dwLowDateTime;
  Then.HighPart = Now.dwHighDateTime;
  Then.QuadPart -= static_cast<ULONGLONG>(Back.count()) * 60 * 60 * 10'000'000;
  const FILETIME Written{Then.LowPart, Then.HighPart};
  EXPECT_TRUE(::SetFileTime(Entry.Get(), nullptr, nullptr, &Written)) << Path;
}

std::filesystem::path HelpLikeFolder(const std::filesystem::path& Path) {
  std::filesystem::create_directory(Path);
  for (const char* Name : {"md.zip", "help.md", "md.html"}) std::ofstream(Path / Name) << "left behind";
  return Path;
}

// A host that ended with the window open leaves its folder: the next help
// shown removes such folders when they are a day old and hold nothing but
// files. A folder of another name or holding anything else stays, and so does
// the folder of a window still open, however old.
TEST_F(HelpTempFolder, HelpFoldersLeftForADayAreRemovedAndNothingElse) {
  using namespace std::chrono_literals;
  const TScopedTempVariable Tmp(FLong);
  const std::filesystem::path Temp(ToWide(FLong));
  std::optional<TMarkdownRenderer> Live;
  const struct {
    const char* Name;
    std::function<std::filesystem::path()> Plant;
    std::chrono::hours AgeOf;
    bool Removed;
  } Cases[] = {
      {"folder of a day and more", [&] { return HelpLikeFolder(Temp / "{0C8F3D2A-5B71-4E09-9A6D-000000000001}"); }, 25h,
       true},
      {"folder younger than a day", [&] { return HelpLikeFolder(Temp / "{0C8F3D2A-5B71-4E09-9A6D-000000000002}"); },
       23h, false},
      {"folder named in lower case", [&] { return HelpLikeFolder(Temp / "{0c8f3d2a-5b71-4e09-9a6d-000000000003}"); },
       25h, false},
      {"folder holding a folder",
       [&] {
         const std::filesystem::path Folder = HelpLikeFolder(Temp / "{0C8F3D2A-5B71-4E09-9A6D-000000000004}");
         std::filesystem::create_directory(Folder / "style");
         return Folder;
       },
       25h, false},
      {"folder of a window still open",
       [&] {
         Live.emplace(u"help", [](std::u16string_view) { return std::nullopt; });
         return std::filesystem::path(ToWide(Live->TempDirectory()));
       },
       48h, false},
  };
  std::vector<std::filesystem::path> Planted;
  for (const auto& Case : Cases) {
    Planted.push_back(Case.Plant());
    Age(Planted.back(), Case.AgeOf);
  }
  {
    const TMarkdownRenderer Next(u"help", [](std::u16string_view) { return std::nullopt; });
  }
  for (std::size_t I = 0; I < Planted.size(); ++I)
    EXPECT_EQ(std::filesystem::exists(Planted[I]), !Cases[I].Removed) << Cases[I].Name;
  Live.reset();
  std::error_code Ignored;
  for (const std::filesystem::path& Path : Planted) std::filesystem::remove_all(Path, Ignored);
}

}  // namespace
