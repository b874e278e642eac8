#pragma once
// Failures the system reports by a code (GetLastError, an HRESULT), raised as
// an Exception that names the attempt and the system's own reason.
#include <windows.h>

#include <string_view>

namespace os {

[[noreturn]] void RaiseOsError(DWORD Code, std::u16string_view Attempt);

// COM's failures carry the system's text as GetLastError's codes do.
[[noreturn]] inline void RaiseComError(HRESULT Code, std::u16string_view Attempt) {
  RaiseOsError(static_cast<DWORD>(Code), Attempt);
}

}  // namespace os
