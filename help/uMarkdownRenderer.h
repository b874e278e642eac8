#pragma once
// The driver's manual: a zip archive carried as a resource (Markdown documents
// and a stylesheet) unpacked into a private temporary folder, its first
// Markdown document turned into an HTML page there, and the page shown in a
// document window. The folder lives as long as the renderer.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "help/Help.TempFolder.h"
#include "help/HelpArchive.h"

// Where the archive's bytes come from: the module's resources, or a test's own.
using TSourceLookup = std::function<std::optional<std::string_view>(std::u16string_view Name)>;

class TMarkdownRenderer {
public:
  // Creates the temporary folder, after clearing away the folders of hosts
  // that ended with the window open; the sources come from the module's
  // resources unless another lookup is given.
  explicit TMarkdownRenderer(std::u16string ASourceName, TSourceLookup ALookup = {});
  // Deletes the folder with everything in it, unless the page went to the
  // desktop's browser: then it stays until the next render or the library's
  // unload.
  ~TMarkdownRenderer();
  TMarkdownRenderer(const TMarkdownRenderer&) = delete;
  TMarkdownRenderer& operator=(const TMarkdownRenderer&) = delete;

  // The resource, rendered and shown modally under the caption; the folder is
  // gone when this returns or raises (unless the page went to the desktop's
  // browser). Deletes the folder an earlier page left for the browser.
  static void Render(const std::u16string& ASourceName, const std::u16string& ACaption);
  static bool SourceExist(std::u16string_view ASourceName);

  const std::u16string& SourceName() const noexcept { return FSourceName; }
  void SetSourceName(std::u16string AValue) { FSourceName = std::move(AValue); }
  const std::u16string& TempDirectory() const noexcept { return FFolder.Path(); }

  bool SourceExist() const;
  // Renders the page, shows it under the caption and answers the page's path.
  std::u16string Render(const std::u16string& ACaption);
  // Renders the page and answers its path, without any window.
  std::u16string RenderPage();

  // The limits an archive must keep: the whole of what it unpacks to, and its
  // number of entries.
  static constexpr std::size_t kMaxUnpackedBytes = 16u << 20;
  static constexpr std::size_t kMaxEntries = 256;

private:
  std::u16string PathInFolder(std::u16string_view Name) const;
  std::string_view SaveArchive();
  void ExtractArchive(std::string_view Zip);
  const help::TArchiveEntry* FindFileByExt(std::u16string_view Ext) const;
  static std::string ReadTextFile(const help::TArchiveEntry& Entry);
  static std::string MarkdownToHtml(std::string_view Markdown);
  std::u16string WriteHtmlPage(std::string_view Html, std::u16string_view StylesheetName);

  std::u16string FSourceName;
  TSourceLookup FLookup;
  help::TPrivateFolder FFolder;
  // The archive's files in the archive's own order, as unpacked: the page is
  // made from these bytes rather than from the files read back.
  std::vector<help::TArchiveEntry> FEntries;
  bool FShownInBrowser = false;
};
