// The renderer on archives made here: the page it writes, byte for byte, and
// what it refuses. The window is never shown: RenderPage stops at the page.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "tests/support/FixtureArchive.h"
#include "help/HelpArchive.h"
#include "help/uMarkdownRenderer.h"
#include "platform/Exception.h"
#include "platform/Text.h"

namespace {

using helptest::MakeArchive;
using helptest::NativePath;
using helptest::ReadBytes;

const std::string kBom = "\xEF\xBB\xBF";
const std::string kCss = "body { color: #111; }\n";

TSourceLookup OnlySource(std::u16string Name, std::string Bytes) {
  return [Name = std::move(Name),
          Bytes = std::move(Bytes)](std::u16string_view Wanted) -> std::optional<std::string_view> {
    if (Wanted != Name) return std::nullopt;
    return std::string_view(Bytes);
  };
}

// The page of the archive, or the failure's message; the folder is checked gone either way.
struct TOutcome {
  std::string Page;
  std::u16string Error;
};

TOutcome RenderArchive(const std::string& Zip) {
  TOutcome Outcome;
  std::u16string Folder;
  {
    TMarkdownRenderer Renderer(u"help", OnlySource(u"help", Zip));
    Folder = Renderer.TempDirectory();
    EXPECT_TRUE(std::filesystem::is_directory(NativePath(Folder)));
    try {
      Outcome.Page = ReadBytes(Renderer.RenderPage());
    } catch (const Exception& E) {
      Outcome.Error = E.Message();
    }
  }
  EXPECT_FALSE(std::filesystem::exists(NativePath(Folder))) << ToUtf8(Folder);
  return Outcome;
}

std::string Wrapped(const std::string& CssName, const std::string& Html) {
  return kBom + "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<link href=\"" + CssName +
         "\" rel=\"stylesheet\">\r\n</head>\r\n<body>\r\n" + Html + "\r\n</body>\r\n</html>";
}

std::string Utf16Bytes(std::u16string_view Text, bool BigEndian) {
  std::string Bytes = BigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t C : Text) {
    const char High = static_cast<char>(C >> 8);
    const char Low = static_cast<char>(C & 0xFF);
    Bytes += BigEndian ? std::string{High, Low} : std::string{Low, High};
  }
  return Bytes;
}

TEST(MarkdownRenderer, PageIsBomAndWrapperAroundTheHtmlWhenAStylesheetCame) {
  const TOutcome Outcome = RenderArchive(MakeArchive({{"github.css", kCss}, {"help.md", "# Справка\n"}}));
  EXPECT_EQ(Outcome.Error, u"");
  EXPECT_EQ(Outcome.Page, Wrapped("github.css", "<h1>Справка</h1>\n"));
}

TEST(MarkdownRenderer, PageIsBareHtmlWithoutAStylesheet) {
  const TOutcome Outcome = RenderArchive(MakeArchive({{"help.md", "text\n"}}));
  EXPECT_EQ(Outcome.Page, kBom + "<p>text</p>\n");
}

// The page links the stylesheet by its bare name, found anywhere in the archive.
TEST(MarkdownRenderer, StylesheetInAFolderIsLinkedByItsBareName) {
  const TOutcome Outcome = RenderArchive(MakeArchive({{"style/", ""}, {"style/Site.CSS", kCss}, {"a.md", "x\n"}}));
  EXPECT_EQ(Outcome.Error, u"");
  EXPECT_EQ(Outcome.Page, Wrapped("Site.CSS", "<p>x</p>\n"));
}

TEST(MarkdownRenderer, DocumentsAreDecodedByTheirByteOrderMark) {
  const std::u16string Text = u"Оплата — *картой*\n";
  const std::string Expected = kBom + "<p>Оплата — <em>картой</em></p>\n";
  const struct {
    const char* Name;
    std::string Bytes;
  } Cases[] = {
      {"utf8-without-mark", ToUtf8(Text)},
      {"utf8-with-mark", kBom + ToUtf8(Text)},
      {"utf16-le", Utf16Bytes(Text, false)},
      {"utf16-be", Utf16Bytes(Text, true)},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(RenderArchive(MakeArchive({{"help.md", Case.Bytes}})).Page, Expected) << Case.Name;
  }
}

TEST(MarkdownRenderer, Utf16OfAnOddLengthFails) {
  EXPECT_EQ(RenderArchive(MakeArchive({{"help.md", "\xFF\xFE\x41\x00\x42"}})).Error,
            u"UTF-16 text of an odd number of bytes");
}

TEST(MarkdownRenderer, TablesAndAutolinksRenderAndRawHtmlStaysOut) {
  const struct {
    const char* Markdown;
    const char* Html;
  } Cases[] = {
      {"| a | b |\n| --- | --- |\n| 1 | 2 |\n",
       "<table>\n<thead>\n<tr>\n<th>a</th>\n<th>b</th>\n</tr>\n</thead>\n<tbody>\n<tr>\n<td>1</td>\n<td>2</td>\n"
       "</tr>\n</tbody>\n</table>\n"},
      {"see www.orvex.ru now\n", "<p>see <a href=\"http://www.orvex.ru\">www.orvex.ru</a> now</p>\n"},
      {"<script>alert(1)</script>\n", "<!-- raw HTML omitted -->\n"},
      {"a <b onclick=\"x()\">bold</b>\n", "<p>a <!-- raw HTML omitted -->bold<!-- raw HTML omitted --></p>\n"},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(RenderArchive(MakeArchive({{"help.md", Case.Markdown}})).Page, kBom + Case.Html) << Case.Markdown;
  }
}

// The archive's order decides, whatever order the file system lists them in.
TEST(MarkdownRenderer, FirstMarkdownEntryOfTheArchiveIsShown) {
  const TOutcome Outcome =
      RenderArchive(MakeArchive({{"z-first.md", "first\n"}, {"a-second.md", "second\n"}, {"b.MD", "third\n"}}));
  EXPECT_EQ(Outcome.Page, kBom + "<p>first</p>\n");
}

TEST(MarkdownRenderer, FailuresCarryTheirMessagesAndLeaveNoFolder) {
  const struct {
    const char* Name;
    std::string Zip;
    std::u16string Error;
  } Cases[] = {
      {"no-markdown", MakeArchive({{"github.css", kCss}, {"notes.txt", "x"}}), u"Mardown file not found"},
      {"not-a-zip", "PK\x03\x04 this is no archive", u"The help archive is damaged: not a zip archive"},
      {"empty", "", u"The help archive is damaged: not a zip archive"},
  };
  for (const auto& Case : Cases) EXPECT_EQ(RenderArchive(Case.Zip).Error, Case.Error) << Case.Name;
}

TEST(MarkdownRenderer, DamagedEntriesFailWithoutCrashing) {
  std::string Zip = MakeArchive({{"help.md", std::string(4000, 'x') + "\n"}});
  // The deflated data begins right after the first local header and its name.
  const std::size_t Data = 30 + std::string("help.md").size();
  for (std::size_t I = Data; I < Data + 8; ++I) Zip[I] = static_cast<char>(Zip[I] ^ 0x5A);
  const std::u16string Error = RenderArchive(Zip).Error;
  EXPECT_TRUE(Error.starts_with(u"The help archive is damaged: the entry \"help.md\"")) << ToUtf8(Error);
}

TEST(MarkdownRenderer, EntryNamesThatCouldLeaveTheFolderAreRefused) {
  const char* const Names[] = {"/etc/passwd.md", "../up.md",    "a/../../up.md",  "C:evil.md",
                               "C:/evil.md",     "a\\..\\b.md", "\\root.md",      "a//b.md",
                               "./a.md",         "a/./b.md",    "line\nbreak.md", ".."};
  for (const char* Name : Names) {
    const std::u16string Error = RenderArchive(MakeArchive({{"help.md", "ok\n"}, {Name, "x\n"}})).Error;
    EXPECT_EQ(Error, u"The help archive's entry \"" + FromUtf8(Name) +
                         u"\" is refused: its name could place it outside the help folder")
        << Name;
  }
}

TEST(MarkdownRenderer, UnpackedSizeAndEntryCountAreCapped) {
  // Zeros deflate about a thousandfold: a small archive that would fill a disk.
  const std::string Bomb(TMarkdownRenderer::kMaxUnpackedBytes / 2 + 1, '\0');
  EXPECT_EQ(RenderArchive(MakeArchive({{"a.md", Bomb}, {"b.md", Bomb}})).Error,
            u"The help archive unpacks to more than 16777216 bytes");
  std::vector<helptest::TFixtureEntry> Many;
  for (std::size_t I = 0; I <= TMarkdownRenderer::kMaxEntries; ++I) Many.push_back({std::to_string(I) + ".md", ""});
  EXPECT_EQ(RenderArchive(MakeArchive(Many)).Error, u"The help archive has more than 256 entries");
}

TEST(MarkdownRenderer, MissingSourceIsNamed) {
  TMarkdownRenderer Renderer(u"nothing", OnlySource(u"help", MakeArchive({{"help.md", "x\n"}})));
  EXPECT_FALSE(Renderer.SourceExist());
  try {
    Renderer.RenderPage();
    ADD_FAILURE() << "rendered a missing source";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), u"File not found: nothing");
  }
  Renderer.SetSourceName(u"help");
  EXPECT_TRUE(Renderer.SourceExist());
}

// Each renderer has its own folder: "{" 8-4-4-4-12 upper-case hex "}" in the
// system's temporary folder.
TEST(MarkdownRenderer, FolderIsANewBracedGuidInTheTemporaryFolder) {
  const TMarkdownRenderer First(u"help", OnlySource(u"help", ""));
  const TMarkdownRenderer Second(u"help", OnlySource(u"help", ""));
  EXPECT_NE(First.TempDirectory(), Second.TempDirectory());
  const std::filesystem::path Folder = NativePath(First.TempDirectory());
  const std::string Name = Folder.filename().string();
  ASSERT_EQ(Name.size(), 38u) << Name;
  for (std::size_t I = 0; I < Name.size(); ++I) {
    const char C = Name[I];
    if (I == 0)
      EXPECT_EQ(C, '{');
    else if (I == 37)
      EXPECT_EQ(C, '}');
    else if (I == 9 || I == 14 || I == 19 || I == 24)
      EXPECT_EQ(C, '-') << Name;
    else
      EXPECT_TRUE((C >= '0' && C <= '9') || (C >= 'A' && C <= 'F')) << Name;
  }
#ifndef _WIN32
  EXPECT_EQ(Name[15], '4') << "version 4: " << Name;
  EXPECT_EQ(std::filesystem::status(Folder).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
#endif
}

}  // namespace
