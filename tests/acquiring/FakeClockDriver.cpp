// The driver as the acquiring host tests load it: the product's own code (the
// same DriverMain.cpp and libraries), with the test clock of tests/support in
// force from the library's load to its unload, so that the device's pauses
// (the pacing between exchanges, the pause after the terminal's parameters)
// pass at once. The product library itself has no way in for a test clock.
//
// The simulated terminal counts the same time (tools/terminal-sim/ClockSeam.h),
// so that its busy rule judges the driver's pacing on this clock: the clock
// is handed over on the driver's first look at it, not while this library is
// being loaded (handing it over may load the simulator's module), and taken
// back when the library goes.
#include <mutex>

#include "tests/support/FakeClock.h"
#include "tools/terminal-sim/ProcessRegistration.h"

namespace {

testsupport::TFakeClock Clock;

class TSharedClock final : public os::IClock {
public:
  TSharedClock() noexcept { os::SetClock(this); }
  ~TSharedClock() override {
    os::SetClock(&Clock);
    try {
      terminal_sim::ShareClockWithSimulator(nullptr);
    } catch (...) {
      // The simulator's module is gone already: nothing reads this clock.
    }
  }
  TSharedClock(const TSharedClock&) = delete;
  TSharedClock& operator=(const TSharedClock&) = delete;

  LocalDateTime Now() override {
    Share();
    return Clock.Now();
  }
  uint32_t TickCount() noexcept override {
    Share();
    return Clock.TickCount();
  }
  void SleepMs(uint32_t Milliseconds) noexcept override {
    Share();
    Clock.SleepMs(Milliseconds);
  }

private:
  void Share() noexcept {
    std::call_once(FShared, [this] {
      try {
        terminal_sim::ShareClockWithSimulator(this);
      } catch (...) {
        // No simulator: the terminal of the test is another one.
      }
    });
  }
  std::once_flag FShared;
};

TSharedClock Shared;

}  // namespace
