#pragma once
// Owned Win32 handles, closed on every way out by the function their kind
// needs (CloseHandle for files, FindClose for folder searches); whole writes;
// long path names.
#include <windows.h>

#include <string>
#include <string_view>

namespace os {

// Closers as types: a system function's address is no constant a template
// may take (it comes from the import table).
struct TCloseFile {
  void operator()(HANDLE Handle) const noexcept { ::CloseHandle(Handle); }
};
struct TCloseFind {
  void operator()(HANDLE Handle) const noexcept { ::FindClose(Handle); }
};

template <typename TClose>
class TOwnedHandle {
public:
  explicit TOwnedHandle(HANDLE Handle) noexcept : FHandle(Handle) {}
  ~TOwnedHandle() {
    if (FHandle != INVALID_HANDLE_VALUE) TClose()(FHandle);
  }
  TOwnedHandle(const TOwnedHandle&) = delete;
  TOwnedHandle& operator=(const TOwnedHandle&) = delete;
  HANDLE Get() const noexcept { return FHandle; }
  bool IsOpen() const noexcept { return FHandle != INVALID_HANDLE_VALUE; }

private:
  HANDLE FHandle;
};

using TFileHandle = TOwnedHandle<TCloseFile>;
using TFindHandle = TOwnedHandle<TCloseFind>;

// Writes every byte. Raises an Exception on failure.
void WriteAll(HANDLE File, std::string_view Bytes);

// The path in its long form (no 8.3 names); the path as given where the long
// form cannot be had.
std::wstring LongPathName(const std::wstring& Path);

}  // namespace os
