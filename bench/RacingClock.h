#pragma once
// The clock of the benchmarks that run the device against the simulated
// terminal: every look at it is a quarter of a second later, so the pacing
// between exchanges never waits. The process's clock while it lives; the
// simulated terminal is handed the same clock (terminal_sim::ClockShare), so
// its busy rule counts the same quarters and the terminal is never busy.
#include <cstdint>

#include "platform/Clock.h"

namespace bench {

class TRacingClock final : public os::IClock {
public:
  TRacingClock() noexcept { os::SetClock(this); }
  ~TRacingClock() override { os::SetClock(nullptr); }
  TRacingClock(const TRacingClock&) = delete;
  TRacingClock& operator=(const TRacingClock&) = delete;

  LocalDateTime Now() override { return os::SystemClock().Now(); }
  uint32_t TickCount() noexcept override { return FNow += 250; }
  void SleepMs(uint32_t) noexcept override {}

private:
  uint32_t FNow = 1;
};

}  // namespace bench
