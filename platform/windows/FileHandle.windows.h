#pragma once
// An owned Win32 file handle, closed on every way out.
#include <windows.h>

namespace os {

class TFileHandle {
public:
  explicit TFileHandle(HANDLE Handle) noexcept : FHandle(Handle) {}
  ~TFileHandle() {
    if (FHandle != INVALID_HANDLE_VALUE) ::CloseHandle(FHandle);
  }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
  HANDLE Get() const noexcept { return FHandle; }
  bool IsOpen() const noexcept { return FHandle != INVALID_HANDLE_VALUE; }

private:
  HANDLE FHandle;
};

}  // namespace os
