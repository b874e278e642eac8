// Packages attached as the platform attaches them, the fixture add-in inside:
// which library is taken, how objects are named, and every package the host
// must refuse without loading anything or leaving a file behind.
#include <filesystem>

#include "tests/support/HostTestSupport.h"
#include "tests/support/PackageSupport.h"
#include "tools/v8host/AddInPackage.h"
#include "tools/v8host/HostSystem.h"

namespace hosttest {
namespace {

using helptest::TFixtureEntry;

std::string ThisHost() { return ToUtf8(PackageOsName()) + " " + ToUtf8(PackageArchName()); }

// Each test attaches in a temporary folder of its own, so that what attaching
// leaves there is this test's alone.
class HostPackage : public ::testing::Test {
protected:
  std::string Package(const std::vector<TFixtureEntry>& Entries) {
    return WritePackage("fixture.zip", Entries).string();
  }

  std::vector<TFixtureEntry> GoodPackage(std::string_view ProgId = "AddIn.Fixture") {
    return OneLibraryPackage(BesideTestProgram(kFixtureFileName), ProgId);
  }

  void ExpectNothingLeft() { EXPECT_TRUE(UnpackFolders().empty()) << UnpackFolders().front(); }

private:
  TTestTempFolder FTemp{"orvex-package-"};
};

struct CommandCase {
  std::vector<std::string> Args;  // "PKG" stands for the good package
  int Exit;
  std::string Out;
  std::string Err;
};

TEST_F(HostPackage, AttachesThisHostsLibraryAndCreatesObjectsByTheirFullName) {
  const std::string Good = Package(GoodPackage());
  const CommandCase Cases[] = {
      {{"attach", "PKG", "Fx"},
       ExitOk,
       "attached as AddIn.Fx: the " + ThisHost() +
           " component addin.lib\nnew AddIn.Fx.Fixture\nclass names: Fixture|Second|Broken",
       ""},
      {{"--new", "AddIn.Fx.Second", "attach", "PKG", "Fx", "call", "Имя"}, ExitOk, "  return: text:Second", ""},
      {{"--new", "AddIn.Fx.Second", "attach", "PKG", "Fx"}, ExitOk, "class Second (extension", ""},
      {{"attach", "PKG", "Вход_1", "get", "Locale"}, ExitOk, "  value: text:ru_RU", ""},
      // The platform's "class not found": a wrong attached name, a wrong class, no class.
      {{"--new", "AddIn.Other.Fixture", "attach", "PKG", "Fx"},
       ExitLoadFailed,
       "",
       "Type not defined (AddIn.Other.Fixture): class not found; the component attached as AddIn.Fx creates "
       "AddIn.Fx.Fixture, AddIn.Fx.Second, AddIn.Fx.Broken"},
      {{"--new", "AddIn.Fx.fixture", "attach", "PKG", "Fx", "call", "Ping"},
       ExitLoadFailed,
       "",
       "Type not defined (AddIn.Fx.fixture)"},
      {{"--new", "AddIn.Fx", "attach", "PKG", "Fx", "call", "Ping"}, ExitLoadFailed, "", "Type not defined (AddIn.Fx)"},
      {{"--new", "Fx.Fixture", "attach", "PKG", "Fx", "call", "Ping"},
       ExitLoadFailed,
       "",
       "Type not defined (Fx.Fixture)"},
      {{"--new", "AddIn.Fx.Broken", "attach", "PKG", "Fx", "call", "Ping"},
       ExitLoadFailed,
       "",
       "no component of the class \"Broken\""},
      {{"attach", "PKG", "a.b"}, ExitBadArgument, "", "The name \"a.b\" cannot name an attached add-in"},
      {{"attach", "PKG", "1x"}, ExitBadArgument, "", "The name \"1x\" cannot name an attached add-in"},
      {{"attach", "PKG"}, ExitBadArgument, "", "expected: attach PACKAGE NAME [COMMAND...]"},
      {{"--class", "Fixture", "attach", "PKG", "Fx"}, ExitBadArgument, "", "--new AddIn.NAME.CLASS"},
      {{"--new", "AddIn.Fx.Fixture", "PKG", "info"},
       ExitBadArgument,
       "",
       "--new names an object of an attached package"},
  };
  for (const CommandCase& Case : Cases) {
    std::vector<std::string> Args = Case.Args;
    for (std::string& Arg : Args) {
      if (Arg == "PKG") Arg = Good;
    }
    const RunResult Done = RunHost(Args);
    const std::string Label = ::testing::PrintToString(Case.Args);
    EXPECT_EQ(Done.Exit, Case.Exit) << Label << "\n" << Done.Err;
    EXPECT_TRUE(Contains(Done.Out, Case.Out)) << Label << "\n" << Done.Out;
    EXPECT_TRUE(Contains(Done.Err, Case.Err)) << Label << "\n" << Done.Err;
  }
  ExpectNothingLeft();
}

TEST_F(HostPackage, RefusesAPackageItCannotAttachSafely) {
  const std::string Library = helptest::ReadBytes(BesideTestProgram(kFixtureFileName));
  const std::string Info = InfoXml("progid=\"AddIn.Fixture\"");
  const auto WithManifest = [&](const std::string& Component, const std::string& Entry = "addin.lib") {
    return std::vector<TFixtureEntry>{{"MANIFEST.XML", ManifestXml({Component})}, {"INFO.XML", Info}, {Entry, Library}};
  };
  const std::string OtherSystem = ToUtf8(PackageOsName()) == "Linux" ? "Windows" : "Linux";
  const struct {
    const char* What;
    std::vector<TFixtureEntry> Entries;
    std::string Err;
  } Cases[] = {
      {"only another system's library",
       WithManifest("<component os=\"" + OtherSystem + "\" arch=\"i386\" type=\"native\" path=\"addin.lib\"/>"),
       "MANIFEST.XML has no native component for " + ThisHost() + " (it lists: " + OtherSystem + " i386 (native))"},
      {"this host's component, but no native one",
       WithManifest("<component os=\"" + ToUtf8(PackageOsName()) + "\" arch=\"" + ToUtf8(PackageArchName()) +
                    "\" type=\"plugin\" path=\"addin.lib\"/>"),
       "has no native component for " + ThisHost()},
      {"a path out of the folder", WithManifest(ThisHostComponent("../addin.lib")),
       "the manifest's path \"../addin.lib\" could place the library outside its folder"},
      {"an absolute path", WithManifest(ThisHostComponent("/tmp/addin.lib")), "could place the library outside"},
      {"a backslash", WithManifest(ThisHostComponent("lib\\addin.lib")), "could place the library outside"},
      {"a drive", WithManifest(ThisHostComponent("C:addin.lib")), "could place the library outside"},
      {"a folder", WithManifest(ThisHostComponent("lib/"), "lib/"), "the manifest's path \"lib/\" names a folder"},
      {"a path the archive lacks", WithManifest(ThisHostComponent("missing.lib")),
       "the archive has no file missing.lib"},
      {"no manifest", {{"INFO.XML", Info}, {"addin.lib", Library}}, "the archive has no file MANIFEST.XML"},
      {"a manifest that is no XML",
       {{"MANIFEST.XML", "<bundle"}, {"addin.lib", Library}},
       "MANIFEST.XML is not well-formed XML"},
      {"a manifest that is no bundle",
       {{"MANIFEST.XML", "<drivers/>"}, {"addin.lib", Library}},
       "MANIFEST.XML is no bundle"},
      {"the library stored under another name", WithManifest(ThisHostComponent("addin.lib"), "other.lib"),
       "the archive has no file addin.lib"},
  };
  for (const auto& Case : Cases) {
    const RunResult Done = RunHost({"attach", Package(Case.Entries), "Fx"});
    EXPECT_EQ(Done.Exit, ExitLoadFailed) << Case.What << "\n" << Done.Err;
    EXPECT_TRUE(Contains(Done.Err, Case.Err)) << Case.What << "\n" << Done.Err;
    EXPECT_FALSE(Contains(Done.Out, "attached as")) << Case.What;
  }
  const RunResult NoLibrary = RunHost(
      {"attach",
       Package({{"MANIFEST.XML", ManifestXml({ThisHostComponent("addin.lib")})}, {"addin.lib", "this is no library"}}),
       "Fx"});
  EXPECT_EQ(NoLibrary.Exit, ExitLoadFailed);
  EXPECT_TRUE(Contains(NoLibrary.Err, "Cannot load the library")) << NoLibrary.Err;
  const std::filesystem::path NotZip = WritePackage("not-a-zip.zip", {});
  std::filesystem::resize_file(NotZip, 0);
  const RunResult Damaged = RunHost({"attach", NotZip.string(), "Fx"});
  EXPECT_EQ(Damaged.Exit, ExitLoadFailed);
  EXPECT_TRUE(Contains(Damaged.Err, "is damaged: not a zip archive")) << Damaged.Err;
  ExpectNothingLeft();
}

// Steps 1 to 4 of the equipment library, with the ProgIDs a package might carry.
TEST_F(HostPackage, EquipmentCreatesTheObjectItsProgIdNames) {
  const struct {
    std::string Info;
    int Exit;
    std::string Out;
    std::string Err;
  } Cases[] = {
      // The object is created; the fixture then has no equipment methods.
      {InfoXml("progid=\"AddIn.Fixture\" name=\"F\" version=\"1\" type=\"ЭквайринговыйТерминал\""), ExitUnknownName,
       "object name: Fixture\nequipment type: ЭквайринговыйТерминал\nattached as AddIn.Fixture: the " + ThisHost() +
           " component addin.lib\nnew AddIn.Fixture.Fixture\n",
       "no method \"GetInterfaceRevision\""},
      {InfoXml("progid=\"AddIn.Fixture\" type=\"POSTerminal\""), ExitUnknownName, "equipment type: POSTerminal\n", ""},
      {InfoXml("progid=\"AddIn.Fixture\" type=\"Acquiring\""), ExitUnknownName,
       "equipment type: \"Acquiring\" is no type the equipment library knows; the user must pick one", ""},
      // The ProgID that names its object twice: attached as Fixture_Fixture, no class answers.
      {InfoXml("progid=\"AddIn.Fixture.Fixture\""), ExitLoadFailed, "object name: Fixture.Fixture\n",
       "Type not defined (AddIn.Fixture_Fixture.Fixture.Fixture): class not found"},
      {InfoXml("name=\"no progid\""), ExitLoadFailed, "", "Type not defined (AddIn.None.None): class not found"},
      {InfoXml("progid=\"Fixture\""), ExitLoadFailed, "", "The ProgID \"Fixture\" names no add-in object"},
      {InfoXml("progid=\"AddIn.\""), ExitLoadFailed, "", "The ProgID \"AddIn.\" names no add-in object"},
      {InfoXml("progid=\"AddIn.Fix-ture\""), ExitLoadFailed, "",
       "The name \"Fix-ture\" cannot name an attached add-in"},
      {"<?xml version=\"1.0\"?><driver><component progid=\"AddIn.Fixture\"/></driver>", ExitLoadFailed, "",
       "INFO.XML has no drivers/component element"},
  };
  const std::string Library = helptest::ReadBytes(BesideTestProgram(kFixtureFileName));
  for (const auto& Case : Cases) {
    const RunResult Done =
        RunHost({"equipment", Package({{"MANIFEST.XML", ManifestXml({ThisHostComponent("addin.lib")})},
                                       {"INFO.XML", Case.Info},
                                       {"addin.lib", Library}})});
    EXPECT_EQ(Done.Exit, Case.Exit) << Case.Info << "\n" << Done.Err;
    EXPECT_TRUE(Contains(Done.Out, Case.Out)) << Case.Info << "\n" << Done.Out;
    EXPECT_TRUE(Contains(Done.Err, Case.Err)) << Case.Info << "\n" << Done.Err;
  }
  ExpectNothingLeft();
}

TEST_F(HostPackage, TheUnpackedLibraryIsTheManifestsEntryAndGoesAway) {
  const AddInPackage Package(FromUtf8(this->Package(GoodPackage()).c_str()));
  const ManifestComponent Component = Package.ComponentFor(PackageOsName(), PackageArchName());
  std::u16string Folder;
  {
    const UnpackedLibrary Unpacked(Package, Component);
    Folder = Unpacked.Folder();
    EXPECT_EQ(UnpackFolders().size(), 1u);
    EXPECT_EQ(helptest::ReadBytes(Unpacked.LibraryPath()), Package.Entry(u"addin.lib"));
    EXPECT_EQ(std::filesystem::path(helptest::NativePath(Unpacked.LibraryPath())).filename(), "addin.lib");
  }
  EXPECT_FALSE(std::filesystem::exists(helptest::NativePath(Folder)));
}

}  // namespace
}  // namespace hosttest
