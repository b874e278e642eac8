#pragma once
// Win32 file helpers the Windows files share: an owned file handle, closed on
// every way out, whole writes, long path names.
#include <windows.h>

#include <string>
#include <string_view>

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

// Writes every byte. Raises an Exception on failure.
void WriteAll(HANDLE File, std::string_view Bytes);

// The path in its long form (no 8.3 names); the path as given where the long
// form cannot be had.
std::wstring LongPathName(const std::wstring& Path);

}  // namespace os
