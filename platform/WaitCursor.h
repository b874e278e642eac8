#pragma once
// The hourglass while the host's thread waits for the terminal: shown for the
// guard's life and put back on every way out, exceptions included. Only Windows
// has a mouse cursor of ours to change; elsewhere the guard does nothing.

namespace os {

class TWaitCursor {
public:
  TWaitCursor() noexcept;
  ~TWaitCursor();
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

private:
  [[maybe_unused]] void* FPrevious = nullptr;  // used on Windows only
};

}  // namespace os
