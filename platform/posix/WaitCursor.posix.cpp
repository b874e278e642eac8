#include "platform/WaitCursor.h"

namespace os {

TWaitCursor::TWaitCursor() noexcept = default;
TWaitCursor::~TWaitCursor() = default;

}  // namespace os
