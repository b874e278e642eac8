// The manual the library carries: the archive's layout, the manual rendering,
// and every name the driver exports documented in it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/FixtureArchive.h"
#include "tests/support/ScopedTempVariable.h"
#include "acquiring/uDriver.h"
#include "help/HelpArchive.h"
#include "help/uMarkdownRenderer.h"
#include "platform/Exception.h"
#include "platform/Resources.h"
#include "platform/Text.h"
#include "tests/support/CommonSupport.h"

namespace {

std::string_view HelpArchive() {
  const std::optional<std::string_view> Bytes = resources::FindData(u"HELP");
  EXPECT_TRUE(Bytes.has_value());
  return Bytes.value_or(std::string_view());
}

uint32_t LittleEndian(std::string_view Bytes, std::size_t Offset, std::size_t Size) {
  uint32_t Value = 0;
  for (std::size_t I = Size; I-- > 0;) Value = (Value << 8) | static_cast<unsigned char>(Bytes[Offset + I]);
  return Value;
}

struct TLocalEntry {
  std::string Name;
  uint32_t Method = 0;
};

// Read from the local headers themselves, not through the library under test.
std::vector<TLocalEntry> LocalEntries(std::string_view Zip) {
  std::vector<TLocalEntry> Entries;
  std::size_t Offset = 0;
  while (Offset + 30 <= Zip.size() && LittleEndian(Zip, Offset, 4) == 0x04034B50) {
    const uint32_t Method = LittleEndian(Zip, Offset + 8, 2);
    const uint32_t Packed = LittleEndian(Zip, Offset + 18, 4);
    const uint32_t NameSize = LittleEndian(Zip, Offset + 26, 2);
    const uint32_t ExtraSize = LittleEndian(Zip, Offset + 28, 2);
    Entries.push_back({std::string(Zip.substr(Offset + 30, NameSize)), Method});
    Offset += 30 + NameSize + ExtraSize + Packed;
  }
  return Entries;
}

TEST(Manual, ArchiveHoldsTheStylesheetAndBothDocumentsDeflatedInOrder) {
  const std::vector<TLocalEntry> Entries = LocalEntries(HelpArchive());
  ASSERT_EQ(Entries.size(), 3u);
  const char* const Names[] = {"github.css", "help.md", "AdditionalMethods.md"};
  for (std::size_t I = 0; I < Entries.size(); ++I) {
    EXPECT_EQ(Entries[I].Name, Names[I]);
    EXPECT_EQ(Entries[I].Method, 8u) << Names[I] << " is not deflated";
  }
}

bool IsNamePart(char16_t C) {
  return (C >= u'0' && C <= u'9') || (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z') || C == u'_';
}

// As a word of its own: "Open" inside "OpenX" does not count.
bool MentionsName(std::u16string_view Text, std::u16string_view Name) {
  for (std::size_t At = Text.find(Name); At != std::u16string_view::npos; At = Text.find(Name, At + 1)) {
    const bool StartsWord = At == 0 || !IsNamePart(Text[At - 1]);
    const std::size_t End = At + Name.size();
    if (StartsWord && (End == Text.size() || !IsNamePart(Text[End]))) return true;
  }
  return false;
}

TEST(Manual, EveryExportedMethodAndPropertyIsDocumented) {
  std::u16string Documents;
  for (const help::TArchiveEntry& Entry : help::ReadArchive(HelpArchive(), {1u << 24, 16}))
    if (Entry.Name.ends_with(u".md")) Documents += FromUtf8(Utf8OfBomText(Entry.Bytes)) + u"\n";
  std::vector<std::u16string_view> Names;
  ForEachExport(TDriver::Exports(), &TExportTable::Methods, [&](const TExportMethod& M) { Names.push_back(M.Name); });
  ForEachExport(TDriver::Exports(), &TExportTable::Props, [&](const TExportProp& P) { Names.push_back(P.Name); });
  ASSERT_FALSE(Names.empty());
  for (const std::u16string_view Name : Names) EXPECT_TRUE(MentionsName(Documents, Name)) << ToUtf8(Name);
}

TEST(Manual, RendersWithTheStylesheetLinked) {
  std::u16string Folder;
  {
    TMarkdownRenderer Renderer(u"help");
    Folder = Renderer.TempDirectory();
    const std::string Page = helptest::ReadBytes(Renderer.RenderPage());
    const std::string Head =
        "\xEF\xBB\xBF<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<link href=\"github.css\" rel=\"stylesheet\">";
    EXPECT_EQ(Page.substr(0, Head.size()), Head);
    EXPECT_NE(Page.find("<h1>"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(helptest::NativePath(Folder)));
}

// The help goes as far as the window, which cannot be shown here, or stops at
// a missing source, and leaves nothing in the temporary folder, here
// one of the test's own.
class ScopedTemporaryFolder {
public:
  ScopedTemporaryFolder() : FFolder(CreatedFolder()), FVariable(FFolder.u16string()) {}
  ~ScopedTemporaryFolder() { std::filesystem::remove_all(FFolder); }
  bool IsEmpty() const { return std::filesystem::is_empty(FFolder); }

private:
  static std::filesystem::path CreatedFolder() {
    const std::filesystem::path Folder =
        std::filesystem::temp_directory_path() /
        ("help-temp-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(Folder);
    return Folder;
  }

  std::filesystem::path FFolder;
  helptest::TScopedTempVariable FVariable;
};

TEST(Manual, ShowingFailsWithItsMessageAndLeavesNoFolder) {
  const struct {
    const char16_t* Source;
    const char16_t* Message;
  } Cases[] = {
      {u"help", testsupport::kShowHelpWithoutDisplay},
      {u"manual", u"File not found: manual"},
  };
  const testsupport::TNoDisplay NoWindow;
  for (const auto& Case : Cases) {
    const ScopedTemporaryFolder Temporary;
    try {
      TMarkdownRenderer::Render(Case.Source, u"Справка");
      ADD_FAILURE() << "a window was shown for " << ToUtf8(Case.Source);
    } catch (const Exception& E) {
      EXPECT_EQ(ToUtf8(E.Message()), ToUtf8(Case.Message));
    }
    EXPECT_TRUE(Temporary.IsEmpty()) << ToUtf8(Case.Source);
  }
  EXPECT_FALSE(TMarkdownRenderer::SourceExist(u"manual"));
}

}  // namespace
