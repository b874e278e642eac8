#pragma once
// Owned Win32 handles, closed on every way out by the function their kind
// needs: CloseHandle for files, FindClose for folder searches.
#include <windows.h>

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

}  // namespace os
