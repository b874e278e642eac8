#pragma once
// An add-in package as the platform and the equipment library take it: the zip
// archive, its MANIFEST.XML (which library serves which system), its INFO.XML
// (the driver's entry), the library of the running host unpacked into a
// private folder, and the object names New("AddIn.X.Y") resolves.
#include <string>
#include <string_view>
#include <vector>

#include "help/Help.TempFolder.h"
#include "tools/v8host/HostFailure.h"

namespace v8host {

struct ManifestComponent {
  std::u16string Os;
  std::u16string Arch;
  std::u16string Type;
  std::u16string Path;
};

// INFO.XML's component as the equipment library reads it: these four
// attributes and nothing else.
struct DriverEntry {
  std::u16string ProgId;
  std::u16string Name;
  std::u16string Version;
  std::u16string Type;
};

class AddInPackage {
public:
  // Reads the whole archive. Raises a HostFailure (LoadFailed) for a file
  // that cannot be read, is not a zip archive, or goes beyond the limits a
  // driver package keeps to.
  explicit AddInPackage(const std::u16string& Path);

  const std::u16string& Path() const noexcept { return FPath; }
  // Every component MANIFEST.XML lists, in its order. Raises a HostFailure
  // (LoadFailed) when the manifest is missing or not a bundle.
  std::vector<ManifestComponent> Manifest() const;
  // The component of the given system and architecture, its path checked:
  // an entry of the archive that cannot land outside the folder it is
  // unpacked into. Raises a HostFailure (LoadFailed) naming what the manifest
  // offers when there is none.
  ManifestComponent ComponentFor(std::u16string_view Os, std::u16string_view Arch) const;
  // INFO.XML's driver entry, a missing ProgID read as "AddIn.None". Raises a
  // HostFailure (LoadFailed) when there is no INFO.XML or no drivers/component.
  DriverEntry Driver() const;
  // An entry's bytes; a HostFailure (LoadFailed) when the archive has no such file.
  const std::string& Entry(std::u16string_view Name) const;

private:
  std::u16string FPath;
  std::vector<std::pair<std::u16string, std::string>> FEntries;
};

// The component's library written into a new folder only the current user can
// enter, removed with everything in it when this goes.
class UnpackedLibrary {
public:
  UnpackedLibrary(const AddInPackage& Package, const ManifestComponent& Component);
  UnpackedLibrary(const UnpackedLibrary&) = delete;
  UnpackedLibrary& operator=(const UnpackedLibrary&) = delete;

  const std::u16string& Folder() const noexcept { return FFolder.Path(); }
  const std::u16string& LibraryPath() const noexcept { return FLibraryPath; }

private:
  help::TPrivateFolder FFolder;
  std::u16string FLibraryPath;
};

// The equipment library's reading of a ProgID: the object name is the text
// after the first "AddIn.", the component is attached under it with every "."
// made "_", and the object created is "AddIn.<attached>.<object>". Raises a
// HostFailure (LoadFailed) for a ProgID without "AddIn." or with nothing after it.
std::u16string ObjectNameOf(std::u16string_view ProgId);
std::u16string AttachedNameOf(std::u16string_view ObjectName);
// Raises a HostFailure of the given kind for a name the platform would not
// attach a component under: empty, not starting with a letter or "_", or
// holding anything but letters, digits and "_".
void CheckAttachName(std::u16string_view Name, FailureKind Kind);

// New("AddIn.X.Y") on a component attached as Attached whose library names
// Classes: the class to create. X and Y are compared exactly; a wrong one is
// the platform's "class not found", a HostFailure (UnknownClass).
std::u16string ClassOfNewObject(std::u16string_view ObjectName, std::u16string_view Attached,
                                const std::vector<std::u16string>& Classes);

}  // namespace v8host
