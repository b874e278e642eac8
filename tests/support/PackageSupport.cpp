#include "tests/support/PackageSupport.h"

#include <gtest/gtest.h>

#include <fstream>

#include "help/Help.TempFolder.h"
#include "tests/support/CommonSupport.h"
#include "tools/v8host/HostSystem.h"

namespace hosttest {

std::string ManifestXml(const std::vector<std::string>& Components) {
  std::string Xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<bundle xmlns=\"http://v8.1c.ru/8.2/addin/bundle\" name=\"fixture\">\n";
  for (const std::string& Component : Components) Xml += "  " + Component + "\n";
  return Xml + "</bundle>\n";
}

std::string ThisHostComponent(std::string_view Path) {
  return "<component os=\"" + ToUtf8(v8host::PackageOsName()) + "\" arch=\"" + ToUtf8(v8host::PackageArchName()) +
         "\" type=\"native\" path=\"" + std::string(Path) + "\"/>";
}

std::string InfoXml(std::string_view Attributes) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<drivers><component " + std::string(Attributes) +
         "/></drivers>\n";
}

std::filesystem::path WritePackage(const std::string& File, const std::vector<helptest::TFixtureEntry>& Entries) {
  const std::filesystem::path Folder = std::filesystem::temp_directory_path() / "orvex-package-tests";
  std::filesystem::create_directories(Folder);
  const std::filesystem::path Path = Folder / File;
  std::ofstream(Path, std::ios::binary | std::ios::trunc) << helptest::MakeArchive(Entries);
  return Path;
}

std::vector<helptest::TFixtureEntry> OneLibraryPackage(const std::u16string& Library, std::string_view ProgId,
                                                       const std::string& LibraryEntry) {
  return {{"MANIFEST.XML", ManifestXml({ThisHostComponent(LibraryEntry)})},
          {"INFO.XML", InfoXml("progid=\"" + std::string(ProgId) +
                               "\" name=\"Fixture\" version=\"1.0\" type=\"ЭквайринговыйТерминал\"")},
          {LibraryEntry, helptest::ReadBytes(Library)}};
}

namespace {

std::filesystem::path FreshFolder(std::string_view Prefix) {
  const std::filesystem::path Folder =
      std::filesystem::temp_directory_path() /
      (std::string(Prefix) + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(Folder);
  std::filesystem::create_directories(Folder);
  return Folder;
}

}  // namespace

TTestTempFolder::TTestTempFolder(std::string_view Prefix)
    : FFolder(FreshFolder(Prefix)), FVariable(FromUtf8(FFolder.string())) {}

TTestTempFolder::~TTestTempFolder() {
  std::error_code Ignored;
  std::filesystem::remove_all(FFolder, Ignored);
}

std::vector<std::string> UnpackFolders() {
  std::vector<std::string> Names;
  for (const auto& Entry : std::filesystem::directory_iterator(helptest::NativePath(help::SystemTempFolder()))) {
    const std::string Name = Entry.path().filename().string();
    if (Name.starts_with("v8host-{")) Names.push_back(Name);
  }
  return Names;
}

}  // namespace hosttest
