#include <windows.h>

#include "platform/Text.h"
#include "tools/v8host/DynamicLibrary.h"
#include "tools/v8host/HostFailure.h"

namespace v8host {

namespace {

std::u16string SystemMessage(DWORD Code) {
  wchar_t* Buffer = nullptr;
  const DWORD Length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, Code, 0, reinterpret_cast<wchar_t*>(&Buffer), 0, nullptr);
  std::u16string Text =
      Length ? std::u16string(TrimControl(FromWide(std::wstring_view(Buffer, Length)))) : u"error " + IntToText(Code);
  if (Buffer) ::LocalFree(Buffer);
  return Text;
}

void* OpenLibrary(const std::u16string& Path) {
  const HMODULE Handle = ::LoadLibraryW(ToWide(Path).c_str());
  if (Handle) return Handle;
  throw HostFailure(FailureKind::LoadFailed,
                    u"Cannot load the library " + Path + u": " + SystemMessage(::GetLastError()));
}

HMODULE ModuleOf(void* Handle) noexcept { return static_cast<HMODULE>(Handle); }

}  // namespace

DynamicLibrary::DynamicLibrary(const std::u16string& Path) : FHandle(OpenLibrary(Path)) {}

DynamicLibrary::~DynamicLibrary() { ::FreeLibrary(ModuleOf(FHandle)); }

void* DynamicLibrary::FindExport(const char* Name) const noexcept {
  return reinterpret_cast<void*>(::GetProcAddress(ModuleOf(FHandle), Name));
}

}  // namespace v8host
