#pragma once
// The one test replacement of the process's clock (platform/Clock.h): while it
// lives, the device and the log read it. Its tick count moves only by the
// pauses asked of it, which it records instead of waiting; its wall-clock time
// is the system's unless a test sets one.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Clock.h"

namespace testsupport {

class TFakeClock final : public os::IClock {
public:
  TFakeClock() noexcept { os::SetClock(this); }
  ~TFakeClock() override { os::SetClock(nullptr); }
  TFakeClock(const TFakeClock&) = delete;
  TFakeClock& operator=(const TFakeClock&) = delete;

  LocalDateTime Now() override { return Time ? *Time : os::SystemClock().Now(); }
  uint32_t TickCount() noexcept override { return Ticks; }
  void SleepMs(uint32_t Milliseconds) noexcept override {
    Sleeps.push_back(Milliseconds);
    Ticks += Milliseconds;
  }

  uint32_t SleptMs() const {
    uint32_t Total = 0;
    for (const uint32_t Ms : Sleeps) Total += Ms;
    return Total;
  }

  std::optional<LocalDateTime> Time;
  uint32_t Ticks = 1000;
  std::vector<uint32_t> Sleeps;
};

}  // namespace testsupport
