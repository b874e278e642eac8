#pragma once
// Add-in packages made for a test: a library of the running host (or any bytes
// under any path) with the manifest and driver entry the test writes.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/FixtureArchive.h"
#include "tests/support/ScopedTempVariable.h"

namespace hosttest {

// MANIFEST.XML listing the given <component .../> elements.
std::string ManifestXml(const std::vector<std::string>& Components);
// A native component of the running host's system and architecture at Path.
std::string ThisHostComponent(std::string_view Path);
// INFO.XML with one driver entry carrying the given attributes
// (progid="..." name="..." ...).
std::string InfoXml(std::string_view Attributes);

// The archive written under the test's scratch folder as File; its path.
std::filesystem::path WritePackage(const std::string& File, const std::vector<helptest::TFixtureEntry>& Entries);

// The entries of a package of one library of the running host, the given
// driver entry and the library's bytes under LibraryEntry.
std::vector<helptest::TFixtureEntry> OneLibraryPackage(const std::u16string& Library, std::string_view ProgId,
                                                       const std::string& LibraryEntry = "addin.lib");

// A temporary folder of the running test's own, which the system's temporary
// folder names while this lives: what the test leaves there is its alone.
// Removed with its contents at the end.
class TTestTempFolder {
public:
  explicit TTestTempFolder(std::string_view Prefix);
  ~TTestTempFolder();
  TTestTempFolder(const TTestTempFolder&) = delete;
  TTestTempFolder& operator=(const TTestTempFolder&) = delete;

  const std::filesystem::path& Path() const noexcept { return FFolder; }

private:
  std::filesystem::path FFolder;
  helptest::TScopedTempVariable FVariable;
};

// The names of the v8host-{GUID} folders in the system's temporary folder: what
// attaching a package may leave behind.
std::vector<std::string> UnpackFolders();

}  // namespace hosttest
