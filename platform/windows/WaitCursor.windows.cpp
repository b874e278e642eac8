#include "platform/WaitCursor.h"

#include <windows.h>

namespace os {

// 32514 is IDC_WAIT, named here in its wide form.
TWaitCursor::TWaitCursor() noexcept : FPrevious(::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)))) {}

TWaitCursor::~TWaitCursor() { ::SetCursor(static_cast<HCURSOR>(FPrevious)); }

}  // namespace os
