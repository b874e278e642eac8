#pragma once
// A loaded shared library and its exports: the part of the host emulator that
// differs between operating systems (posix/, windows/).
#include <string>

namespace v8host {

class DynamicLibrary {
public:
  // Raises a HostFailure (LoadFailed) naming the path and the OS's reason.
  explicit DynamicLibrary(const std::u16string& Path);
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Null when the library exports no such name.
  void* FindExport(const char* Name) const noexcept;

private:
  void* FHandle;
};

}  // namespace v8host
