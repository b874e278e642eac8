#include "help/uMarkdownRenderer.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "help/Help.TempFolder.h"
#include "help/HelpArchive.h"
#include "help/ufmDocView.h"
#include "platform/Exception.h"
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
  void Keep(help::TPrivateFolder&& Folder) noexcept {
    const std::lock_guard Lock(FMutex);
    FFolder.emplace(std::move(Folder));
  }
  void Release() noexcept {
    const std::lock_guard Lock(FMutex);
    FFolder.reset();
  }

private:
  std::mutex FMutex;
  std::optional<help::TPrivateFolder> FFolder;
};

TFolderKeptForBrowser& FolderKeptForBrowser() {
  static TFolderKeptForBrowser Kept;
  return Kept;
}

// Made where the folders of hosts that ended with the window open are cleared
// away: nothing else would ever remove them.
help::TPrivateFolder NewHelpFolder() {
  help::RemoveAbandonedFolders();
  return help::TPrivateFolder(help::NewGuidText());
}

// The archive's bytes are limited like what they unpack to.
constexpr std::size_t kMaxArchiveBytes = TMarkdownRenderer::kMaxUnpackedBytes;

}  // namespace

TMarkdownRenderer::TMarkdownRenderer(std::u16string ASourceName, TSourceLookup ALookup)
    : FSourceName(std::move(ASourceName)),
      FLookup(ALookup ? std::move(ALookup) : TSourceLookup(ModuleResource)),
      FFolder(NewHelpFolder()) {}

// Otherwise the folder goes with this object.
TMarkdownRenderer::~TMarkdownRenderer() {
  if (FShownInBrowser) FolderKeptForBrowser().Keep(std::move(FFolder));
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
  FShownInBrowser = TfrmDocView(PagePath, ACaption).ShowModal() == os::TDocumentShown::InBrowser;
  return PagePath;
}

std::u16string TMarkdownRenderer::RenderPage() {
  ExtractArchive(SaveArchive());
  const help::TArchiveEntry* Markdown = FindFileByExt(kMarkdownExt);
  // "Mardown", spelt so: the host shows this text and callers match it; keep it.
  if (Markdown == nullptr) throw Exception(std::u16string(u"Mardown file not found"));
  const help::TArchiveEntry* Stylesheet = FindFileByExt(kStylesheetExt);
  return WriteHtmlPage(MarkdownToHtml(ReadTextFile(*Markdown)),
                       Stylesheet == nullptr ? std::u16string_view() : BareFileName(Stylesheet->Name));
}

std::u16string TMarkdownRenderer::PathInFolder(std::u16string_view Name) const {
  return FFolder.Path() + os::PathSeparator() + std::u16string(Name);
}

// The archive is written as it is carried and unpacked from the same bytes.
std::string_view TMarkdownRenderer::SaveArchive() {
  const std::optional<std::string_view> Bytes = FLookup(FSourceName);
  if (!Bytes) RaiseSourceMissing(FSourceName);
  if (Bytes->size() > kMaxArchiveBytes) throw Exception(u"The archive \"" + FSourceName + u"\" is too large");
  FFolder.WriteNewFile(kArchiveFileName, *Bytes);
  return *Bytes;
}

// Every name is checked before anything is written, so a refused archive
// leaves no part of itself behind.
void TMarkdownRenderer::ExtractArchive(std::string_view Zip) {
  std::vector<help::TArchiveEntry> Entries = help::ReadArchive(Zip, {kMaxUnpackedBytes, kMaxEntries});
  for (const help::TArchiveEntry& Entry : Entries) help::CheckEntryName(Entry.Name);
  FEntries.clear();
  for (help::TArchiveEntry& Entry : Entries) {
    const std::size_t LastSlash = Entry.Name.find_last_of(u'/');
    if (LastSlash != std::u16string::npos) FFolder.CreateFolders(std::u16string_view(Entry.Name).substr(0, LastSlash));
    if (Entry.Name.ends_with(u'/')) continue;
    FFolder.WriteNewFile(Entry.Name, Entry.Bytes);
    FEntries.push_back(std::move(Entry));
  }
}

// In the archive's order, not the file system's: the first document is the manual.
const help::TArchiveEntry* TMarkdownRenderer::FindFileByExt(std::u16string_view Ext) const {
  for (const help::TArchiveEntry& Entry : FEntries)
    if (EndsWithIgnoringCase(Entry.Name, Ext)) return &Entry;
  return nullptr;
}

std::string TMarkdownRenderer::ReadTextFile(const help::TArchiveEntry& Entry) { return Utf8OfBomText(Entry.Bytes); }

// Raw HTML in a document is left out: cmark-gfm passes it through only with
// CMARK_OPT_UNSAFE, which is never given here.
std::string TMarkdownRenderer::MarkdownToHtml(std::string_view Markdown) {
  RegisterMarkdownExtensions();
  const std::unique_ptr<cmark_parser, TCmarkFree> Parser(cmark_parser_new(CMARK_OPT_DEFAULT));
  if (!Parser) throw Exception(std::u16string(u"The Markdown parser cannot be started"));
  AttachExtension(Parser.get(), "table");
  AttachExtension(Parser.get(), "autolink");
  cmark_parser_feed(Parser.get(), Markdown.data(), Markdown.size());
  const std::unique_ptr<cmark_node, TCmarkFree> Document(cmark_parser_finish(Parser.get()));
  if (!Document) throw Exception(std::u16string(u"The Markdown document cannot be parsed"));
  const std::unique_ptr<char, TCmarkFree> Html(
      cmark_render_html(Document.get(), CMARK_OPT_DEFAULT, cmark_parser_get_syntax_extensions(Parser.get())));
  if (!Html) throw Exception(std::u16string(u"The Markdown document cannot be turned into HTML"));
  return std::string(Html.get());
}

std::u16string TMarkdownRenderer::WriteHtmlPage(std::string_view Html, std::u16string_view StylesheetName) {
  std::string Page(kUtf8Bom);
  if (StylesheetName.empty()) {
    Page += Html;
  } else {
    Page += "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<link href=\"" + ToUtf8(StylesheetName) +
            "\" rel=\"stylesheet\">\r\n</head>\r\n<body>\r\n";
    Page += Html;
    Page += "\r\n</body>\r\n</html>";
  }
  FFolder.WriteNewFile(kPageFileName, Page);
  return PathInFolder(kPageFileName);
}
