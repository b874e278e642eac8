#pragma once
// The host side shared by the side-by-side benchmarks: our driver library and
// the peer add-in, each loaded once for the program and called through the
// same host emulator code, a scratch machine-wide data folder for the logs, and
// the load of a library measured in a process of its own.
#include <cstdint>
#include <filesystem>
#include <string>

#include "tools/v8host/HostComponent.h"
#include "tools/v8host/HostObjects.h"

namespace comparebench {

// A library as the host keeps it: loaded once, told the host's capabilities
// when it asks for them, its first class the one created.
struct AddIn {
  explicit AddIn(const char* FilePath);

  std::string Path;
  v8host::AddInLibrary Library;
  std::u16string ClassName;
};

// The shipped driver library and the peer add-in, loaded on first use.
const AddIn& Driver();
const AddIn& Peer();

// The two objects the host hands to every component.
struct HostObjects {
  v8host::HostMemoryManager Memory;
  v8host::HostConnection Connection;

  v8host::ComponentSetup Setup() { return {Memory, Connection}; }
};

// One component created and initialised as the host does, for the whole of a
// benchmark; its tables called directly in the timed loops.
class Session {
public:
  explicit Session(const AddIn& Subject);

  v8host::Component& Object() noexcept { return FObject; }
  const TLanguageExtenderOps& Extender() const noexcept { return *FExtender; }
  void* ExtenderInterface() const noexcept { return FExtenderInterface; }

  // The driver's LogEnabled property, written as the host writes it.
  void SetLogEnabled(bool Enabled);

private:
  HostObjects FHost;
  v8host::Component FObject;
  // Read once, as a host keeps the interface it was given: a timed call is the
  // library's work and one indirect call.
  const TLanguageExtenderOps* FExtender;
  void* FExtenderInterface;
};

// The machine-wide data folder (and so the log folder) of this process, and of
// the libraries it loads, moved into a fresh temporary folder while it lives.
class ScratchDataFolder {
public:
  ScratchDataFolder();
  ~ScratchDataFolder();
  ScratchDataFolder(const ScratchDataFolder&) = delete;
  ScratchDataFolder& operator=(const ScratchDataFolder&) = delete;

  const std::filesystem::path& Path() const noexcept { return FPath; }

private:
  std::filesystem::path FPath;
};

// What the load probe measured of dlopen and the first GetClassNames in a
// fresh process: the time, and the page faults the process took meanwhile
// (where a fault is dear, as in a virtual machine, they are most of a load).
struct LoadFigures {
  int64_t Nanoseconds = 0;
  int64_t PageFaults = 0;
};

// Starts the load probe on the library. Raises an Exception when it fails.
LoadFigures LoadInFreshProcess(const std::string& LibraryPath);

}  // namespace comparebench
