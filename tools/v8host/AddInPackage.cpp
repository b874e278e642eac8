#include "tools/v8host/AddInPackage.h"

#include <pugixml.hpp>

#include <algorithm>

#include "help/Help.TempFolder.h"
#include "help/HelpArchive.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/Os.h"
#include "platform/Text.h"
#include "tools/v8host/HostFailure.h"

namespace v8host {

namespace {

// A driver package holds two small documents and one library per system; these
// bounds leave it room many times over and keep a hostile archive from
// filling the memory.
constexpr std::size_t kMaxArchiveBytes = 256u << 20;
constexpr std::size_t kMaxUnpackedBytes = 512u << 20;
constexpr std::size_t kMaxEntries = 64;

constexpr std::u16string_view kAddInPrefix = u"AddIn.";

[[noreturn]] void RaisePackage(const std::u16string& Path, std::u16string_view Detail) {
  throw HostFailure(FailureKind::LoadFailed, u"The package " + Path + u": " + std::u16string(Detail));
}

std::u16string Attribute(const pugi::xml_node& Node, const char* Name) {
  return FromUtf8(Node.attribute(Name).as_string());
}

pugi::xml_document ParseDocument(const AddInPackage& Package, std::u16string_view Name) {
  const std::string& Bytes = Package.Entry(Name);
  pugi::xml_document Document;
  const pugi::xml_parse_result Parsed =
      Document.load_buffer(Bytes.data(), Bytes.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!Parsed)
    RaisePackage(Package.Path(), std::u16string(Name) + u" is not well-formed XML: " + FromUtf8(Parsed.description()));
  return Document;
}

std::u16string Listed(const std::vector<ManifestComponent>& Components) {
  std::u16string Text;
  for (const ManifestComponent& Component : Components) {
    if (!Text.empty()) Text += u", ";
    Text += Component.Os + u" " + Component.Arch + u" (" + Component.Type + u")";
  }
  return Text.empty() ? u"none" : Text;
}

void CheckComponentPath(const AddInPackage& Package, const std::u16string& Path) {
  try {
    help::CheckEntryName(Path);
  } catch (const Exception&) {
    RaisePackage(Package.Path(), u"the manifest's path \"" + Path + u"\" could place the library outside its folder");
  }
  if (Path.ends_with(u'/')) RaisePackage(Package.Path(), u"the manifest's path \"" + Path + u"\" names a folder");
  Package.Entry(Path);
}

std::u16string FileNameOf(const std::u16string& EntryPath) {
  const std::size_t Slash = EntryPath.rfind(u'/');
  return Slash == std::u16string::npos ? EntryPath : EntryPath.substr(Slash + 1);
}

bool IsAsciiLetter(char16_t C) { return (C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z'); }
bool IsCyrillicLetter(char16_t C) { return (C >= u'\u0410' && C <= u'\u044F') || C == u'\u0401' || C == u'\u0451'; }
bool StartsIdentifier(char16_t C) { return IsAsciiLetter(C) || IsCyrillicLetter(C) || C == u'_'; }
bool ContinuesIdentifier(char16_t C) { return StartsIdentifier(C) || (C >= u'0' && C <= u'9'); }

}  // namespace

// ---------------------------------------------------------------------------
AddInPackage::AddInPackage(const std::u16string& Path) : FPath(Path) {
  try {
    const std::string Zip = os::ReadWholeFile(Path, kMaxArchiveBytes);
    help::TArchiveLimits Limits{kMaxUnpackedBytes, kMaxEntries, u"The package " + Path};
    for (help::TArchiveEntry& Entry : help::ReadArchive(Zip, Limits))
      FEntries.emplace_back(std::move(Entry.Name), std::move(Entry.Bytes));
  } catch (const HostFailure&) {
    throw;
  } catch (const Exception& Failure) {
    throw HostFailure(FailureKind::LoadFailed, Failure.Message());
  }
}

const std::string& AddInPackage::Entry(std::u16string_view Name) const {
  const auto Found = std::find_if(FEntries.begin(), FEntries.end(), [&](const auto& E) { return E.first == Name; });
  if (Found == FEntries.end()) RaisePackage(FPath, u"the archive has no file " + std::u16string(Name));
  return Found->second;
}

std::vector<ManifestComponent> AddInPackage::Manifest() const {
  const pugi::xml_document Document = ParseDocument(*this, u"MANIFEST.XML");
  const pugi::xml_node Bundle = Document.document_element();
  if (std::string_view(Bundle.name()) != "bundle") RaisePackage(FPath, u"MANIFEST.XML is no bundle");
  std::vector<ManifestComponent> Components;
  for (const pugi::xml_node Node : Bundle.children("component"))
    Components.push_back(
        {Attribute(Node, "os"), Attribute(Node, "arch"), Attribute(Node, "type"), Attribute(Node, "path")});
  return Components;
}

ManifestComponent AddInPackage::ComponentFor(std::u16string_view Os, std::u16string_view Arch) const {
  const std::vector<ManifestComponent> Components = Manifest();
  const auto Found = std::find_if(Components.begin(), Components.end(), [&](const ManifestComponent& C) {
    return C.Os == Os && C.Arch == Arch && C.Type == u"native";
  });
  if (Found == Components.end())
    RaisePackage(FPath, u"MANIFEST.XML has no native component for " + std::u16string(Os) + u" " +
                            std::u16string(Arch) + u" (it lists: " + Listed(Components) + u")");
  CheckComponentPath(*this, Found->Path);
  return *Found;
}

DriverEntry AddInPackage::Driver() const {
  const pugi::xml_document Document = ParseDocument(*this, u"INFO.XML");
  const pugi::xml_node Component = Document.child("drivers").child("component");
  if (!Component) RaisePackage(FPath, u"INFO.XML has no drivers/component element");
  DriverEntry Entry{Attribute(Component, "progid"), Attribute(Component, "name"), Attribute(Component, "version"),
                    Attribute(Component, "type")};
  // The equipment library's own fallback for a package without a ProgID.
  if (!Component.attribute("progid")) Entry.ProgId = u"AddIn.None";
  return Entry;
}

// ---------------------------------------------------------------------------
namespace {

[[noreturn]] void RaiseUnpacking(const Exception& Failure) {
  throw HostFailure(FailureKind::LoadFailed, u"Cannot unpack the component: " + Failure.Message());
}

help::TPrivateFolder NewUnpackFolder() {
  try {
    return help::TPrivateFolder(u"v8host-" + help::NewGuidText());
  } catch (const Exception& Failure) {
    RaiseUnpacking(Failure);
  }
}

}  // namespace

UnpackedLibrary::UnpackedLibrary(const AddInPackage& Package, const ManifestComponent& Component)
    : FFolder(NewUnpackFolder()), FLibraryPath(FFolder.Path() + os::PathSeparator() + FileNameOf(Component.Path)) {
  const std::string& Bytes = Package.Entry(Component.Path);
  try {
    FFolder.WriteNewFile(FileNameOf(Component.Path), Bytes);
  } catch (const Exception& Failure) {
    RaiseUnpacking(Failure);
  }
}

// ---------------------------------------------------------------------------
std::u16string ObjectNameOf(std::u16string_view ProgId) {
  const std::size_t Prefix = ProgId.find(kAddInPrefix);
  if (Prefix == std::u16string_view::npos || Prefix + kAddInPrefix.size() == ProgId.size())
    throw HostFailure(FailureKind::LoadFailed,
                      u"The ProgID \"" + std::u16string(ProgId) + u"\" names no add-in object (AddIn.<name>)");
  return std::u16string(ProgId.substr(Prefix + kAddInPrefix.size()));
}

std::u16string AttachedNameOf(std::u16string_view ObjectName) {
  std::u16string Attached(ObjectName);
  std::replace(Attached.begin(), Attached.end(), u'.', u'_');
  return Attached;
}

void CheckAttachName(std::u16string_view Name, FailureKind Kind) {
  if (Name.empty() || !StartsIdentifier(Name.front()) || !std::all_of(Name.begin(), Name.end(), ContinuesIdentifier))
    throw HostFailure(Kind, u"The name \"" + std::u16string(Name) +
                                u"\" cannot name an attached add-in: letters, digits and "
                                u"\"_\" only, not starting with a digit");
}

std::u16string ClassOfNewObject(std::u16string_view ObjectName, std::u16string_view Attached,
                                const std::vector<std::u16string>& Classes) {
  const auto NotFound = [&] {
    std::u16string Creatable;
    for (const std::u16string& Class : Classes)
      Creatable += (Creatable.empty() ? u"" : u", ") + (u"AddIn." + std::u16string(Attached) + u"." + Class);
    return HostFailure(FailureKind::UnknownClass, u"Type not defined (" + std::u16string(ObjectName) +
                                                      u"): class not found; the component attached as AddIn." +
                                                      std::u16string(Attached) + u" creates " +
                                                      (Creatable.empty() ? u"nothing" : Creatable));
  };
  if (!ObjectName.starts_with(kAddInPrefix)) throw NotFound();
  const std::u16string_view Rest = ObjectName.substr(kAddInPrefix.size());
  const std::size_t Dot = Rest.find(u'.');
  if (Dot == std::u16string_view::npos || Rest.substr(0, Dot) != Attached) throw NotFound();
  const std::u16string_view Class = Rest.substr(Dot + 1);
  if (std::find(Classes.begin(), Classes.end(), Class) == Classes.end()) throw NotFound();
  return std::u16string(Class);
}

}  // namespace v8host
