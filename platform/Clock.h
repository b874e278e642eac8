#pragma once
// Time as the driver reads it: the local wall-clock time, the millisecond tick
// count and pauses. The device (pacing between exchanges, the pause after the
// terminal's parameters) and the log (the time of its lines and the day of its
// file) both read the process's one clock, so a test replaces them together,
// like a LevelDB Env: SetClock for the whole process, and back.
#include <cstdint>

#include "DateTime.h"

namespace os {

class IClock {
public:
  virtual ~IClock() = default;
  // Local wall-clock time with milliseconds.
  virtual LocalDateTime Now() = 0;
  // Milliseconds, wrapping around at 32 bits; for pauses and pacing, not dates.
  virtual uint32_t TickCount() noexcept = 0;
  virtual void SleepMs(uint32_t Milliseconds) noexcept = 0;
};

// The system's clock: os::Now, os::TickCount and os::SleepMs (Os.h).
IClock& SystemClock() noexcept;

// The clock in force: the system's, unless a test has set another.
IClock& CurrentClock() noexcept;

// Test seam: Replacement is read by every later call of CurrentClock until it
// is set again; null restores the system clock. The replacement must outlive
// its use.
void SetClock(IClock* Replacement) noexcept;

}  // namespace os
