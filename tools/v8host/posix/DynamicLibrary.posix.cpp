#include <dlfcn.h>

#include "platform/Text.h"
#include "tools/v8host/DynamicLibrary.h"
#include "tools/v8host/HostFailure.h"

namespace v8host {

namespace {

// dlopen searches the system's folders for a bare file name; the user means
// the file in the current folder, as the platform would.
std::string LoadablePath(const std::u16string& Path) {
  std::string Native = ToUtf8(Path);
  if (Native.find('/') == std::string::npos) Native.insert(0, "./");
  return Native;
}

void* OpenLibrary(const std::u16string& Path) {
  void* Handle = ::dlopen(LoadablePath(Path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (Handle) return Handle;
  const char* Reason = ::dlerror();
  throw HostFailure(FailureKind::LoadFailed,
                    u"Cannot load the library " + Path + u": " + FromUtf8(Reason ? Reason : "unknown reason"));
}

}  // namespace

DynamicLibrary::DynamicLibrary(const std::u16string& Path) : FHandle(OpenLibrary(Path)) {}

DynamicLibrary::~DynamicLibrary() { ::dlclose(FHandle); }

void* DynamicLibrary::FindExport(const char* Name) const noexcept { return ::dlsym(FHandle, Name); }

}  // namespace v8host
