#include "help/uMarkdownRenderer.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "help/Help.TempFolder.h"
#include "help/HelpArchive.h"
#include "platform/DocumentWindow.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/Os.h"
#include "platform/Resources.h"
#include "platform/Text.h"

namespace {

constexpr std::u16string_view kArchiveFileName = u"md.zip";
constexpr std::u16string_view kPageFileName = u"md.html";
constexpr std::u16string_view kMarkdownExt = u".md";
constexpr std::u16string_view kStylesheetExt = u".css";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::optional<std::string_view> ModuleResource(std::u16string_view Name) { return resources::FindData(Name); }

[[noreturn]] void RaiseSourceMissing(std::u16string_view Name) {
  throw Exception(u"File not found: " + std::u16string(Name));
}

char16_t AsciiLower(char16_t Char) { return Char >= u'A' && Char <= u'Z' ? static_cast<char16_t>(Char + 32) : Char; }

bool EndsWithIgnoringCase(std::u16string_view Text, std::u16string_view Ending) {
  return Text.size() >= Ending.size() &&
         std::equal(Ending.begin(), Ending.end(), Text.end() - static_cast<std::ptrdiff_t>(Ending.size()),
                    [](char16_t A, char16_t B) { return AsciiLower(A) == AsciiLower(B); });
}

std::u16string_view BareFileName(std::u16string_view Path) {
  const std::size_t Separator = Path.find_last_of(u"/\\");
  return Separator == std::u16string_view::npos ? Path : Path.substr(Separator + 1);
}

void RegisterMarkdownExtensions() {
  static std::once_flag Registered;
  std::call_once(Registered, [] { cmark_gfm_core_extensions_ensure_registered(); });
}

struct TCmarkFree {
  void operator()(cmark_parser* Parser) const { cmark_parser_free(Parser); }
  void operator()(cmark_node* Node) const { cmark_node_free(Node); }
  void operator()(char* Text) const { cmark_get_default_mem_allocator()->free(Text); }
};

void AttachExtension(cmark_parser* Parser, const char* Name) {
  cmark_syntax_extension* Extension = cmark_find_syntax_extension(Name);
  if (Extension == nullptr) throw Exception(u"The Markdown extension \"" + AsciiToU16(Name) + u"\" is missing");
  cmark_parser_attach_syntax_extension(Parser, Extension);
}

// The folder of the last page handed to the desktop's browser. The browser
// reads the page after ShowHelp has returned, so the folder stays until the
// next render or until the library is unloaded (this object's destructor).
class TFolderKeptForBrowser {
public:
  ~TFolderKeptForBrowser() { Release(); }
  void Keep(std::u16string Path) noexcept {
    const std::lock_guard Lock(FMutex);
    help::DeleteFolderTree(FPath);
    FPath = std::move(Path);
  }
  void Release() noexcept {
    const std::lock_guard Lock(FMutex);
    help::DeleteFolderTree(FPath);
    FPath.clear();
  }

private:
  std::mutex FMutex;
  std::u16string FPath;
};

TFolderKeptForBrowser& FolderKeptForBrowser() {
  static TFolderKeptForBrowser Kept;
  return Kept;
}

// The archive's bytes are limited like what they unpack to.
constexpr std::size_t kMaxArchiveBytes = TMarkdownRenderer::kMaxUnpackedBytes;

}  // namespace

TMarkdownRenderer::TMarkdownRenderer(std::u16string ASourceName, TSourceLookup ALookup)
    : FSourceName(std::move(ASourceName)), FLookup(ALookup ? std::move(ALookup) : TSourceLookup(ModuleResource)) {
  FTempDirectory = help::SystemTempFolder() + os::PathSeparator() + help::NewGuidText();
  help::CreatePrivateFolder(FTempDirectory);
}

TMarkdownRenderer::~TMarkdownRenderer() {
  if (FShownInBrowser)
    FolderKeptForBrowser().Keep(FTempDirectory);
  else
    help::DeleteFolderTree(FTempDirectory);
}

void TMarkdownRenderer::Render(const std::u16string& ASourceName, const std::u16string& ACaption) {
  FolderKeptForBrowser().Release();
  if (!SourceExist(ASourceName)) RaiseSourceMissing(ASourceName);
  TMarkdownRenderer Renderer(ASourceName);
  Renderer.Render(ACaption);
}

bool TMarkdownRenderer::SourceExist(std::u16string_view ASourceName) { return ModuleResource(ASourceName).has_value(); }

bool TMarkdownRenderer::SourceExist() const { return FLookup(FSourceName).has_value(); }

std::u16string TMarkdownRenderer::Render(const std::u16string& ACaption) {
  const std::u16string PagePath = RenderPage();
  FShownInBrowser = os::ShowDocumentWindow(PagePath, ACaption) == os::TDocumentShown::InBrowser;
  return PagePath;
}

std::u16string TMarkdownRenderer::RenderPage() {
  ExtractArchive(SaveArchive());
  const std::u16string MarkdownPath = FindFileByExt(kMarkdownExt);
  // "Mardown", spelt so: the host shows this text and callers match it; keep it.
  if (MarkdownPath.empty()) throw Exception(std::u16string(u"Mardown file not found"));
  return WriteHtmlPage(MarkdownToHtml(ReadTextFile(MarkdownPath)), FindFileByExt(kStylesheetExt));
}

std::u16string TMarkdownRenderer::PathInFolder(std::u16string_view Name) const {
  std::u16string Path = FTempDirectory + os::PathSeparator() + std::u16string(Name);
  std::replace(Path.begin() + static_cast<std::ptrdiff_t>(FTempDirectory.size()), Path.end(), u'/',
               os::PathSeparator());
  return Path;
}

std::u16string TMarkdownRenderer::SaveArchive() {
  const std::optional<std::string_view> Bytes = FLookup(FSourceName);
  if (!Bytes) RaiseSourceMissing(FSourceName);
  const std::u16string Path = PathInFolder(kArchiveFileName);
  help::WriteNewFile(Path, *Bytes);
  return Path;
}

// Every name is checked before anything is written, so a refused archive
// leaves no part of itself behind.
void TMarkdownRenderer::ExtractArchive(const std::u16string& ArchivePath) {
  const std::vector<help::TArchiveEntry> Entries =
      help::ReadArchive(os::ReadWholeFile(ArchivePath, kMaxArchiveBytes), {kMaxUnpackedBytes, kMaxEntries});
  for (const help::TArchiveEntry& Entry : Entries) help::CheckEntryName(Entry.Name);
  FEntryNames.clear();
  for (const help::TArchiveEntry& Entry : Entries) {
    if (Entry.Name.ends_with(u'/')) {
      os::CreateDirectories(PathInFolder(Entry.Name.substr(0, Entry.Name.size() - 1)));
      continue;
    }
    const std::u16string Path = PathInFolder(Entry.Name);
    os::CreateDirectories(Path.substr(0, Path.find_last_of(os::PathSeparator())));
    help::WriteNewFile(Path, Entry.Bytes);
    FEntryNames.push_back(Entry.Name);
  }
}

// In the archive's order, not the file system's: the first document is the manual.
std::u16string TMarkdownRenderer::FindFileByExt(std::u16string_view Ext) const {
  for (const std::u16string& Name : FEntryNames)
    if (EndsWithIgnoringCase(Name, Ext)) return PathInFolder(Name);
  return {};
}

std::u16string TMarkdownRenderer::ReadTextFile(const std::u16string& Path) {
  return FromBomText(os::ReadWholeFile(Path, kMaxUnpackedBytes));
}

// Raw HTML in a document is left out: cmark-gfm passes it through only with
// CMARK_OPT_UNSAFE, which is never given here.
std::u16string TMarkdownRenderer::MarkdownToHtml(std::u16string_view Markdown) {
  RegisterMarkdownExtensions();
  const std::string Utf8 = ToUtf8(Markdown);
  const std::unique_ptr<cmark_parser, TCmarkFree> Parser(cmark_parser_new(CMARK_OPT_DEFAULT));
  if (!Parser) throw Exception(std::u16string(u"The Markdown parser cannot be started"));
  AttachExtension(Parser.get(), "table");
  AttachExtension(Parser.get(), "autolink");
  cmark_parser_feed(Parser.get(), Utf8.data(), Utf8.size());
  const std::unique_ptr<cmark_node, TCmarkFree> Document(cmark_parser_finish(Parser.get()));
  if (!Document) throw Exception(std::u16string(u"The Markdown document cannot be parsed"));
  const std::unique_ptr<char, TCmarkFree> Html(
      cmark_render_html(Document.get(), CMARK_OPT_DEFAULT, cmark_parser_get_syntax_extensions(Parser.get())));
  if (!Html) throw Exception(std::u16string(u"The Markdown document cannot be turned into HTML"));
  return FromUtf8(Html.get());
}

std::u16string TMarkdownRenderer::WriteHtmlPage(std::u16string_view Html, const std::u16string& StylesheetPath) const {
  std::u16string Page;
  if (StylesheetPath.empty()) {
    Page = Html;
  } else {
    Page = u"<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<link href=\"" + std::u16string(BareFileName(StylesheetPath)) +
           u"\" rel=\"stylesheet\">\r\n</head>\r\n<body>\r\n" + std::u16string(Html) + u"\r\n</body>\r\n</html>";
  }
  const std::u16string Path = PathInFolder(kPageFileName);
  help::WriteNewFile(Path, std::string(kUtf8Bom) + ToUtf8(Page));
  return Path;
}
