#include "platform/Clock.h"

#include <atomic>
#include <new>

#include "platform/Os.h"

namespace os {

namespace {

class TSystemClock final : public IClock {
public:
  LocalDateTime Now() override { return os::Now(); }
  uint32_t TickCount() noexcept override { return os::TickCount(); }
  void SleepMs(uint32_t Milliseconds) noexcept override { os::SleepMs(Milliseconds); }
};

// Constant-initialised: static initialisers of other units may already read it.
constinit std::atomic<IClock*> Replaced{nullptr};

}  // namespace

// Never destroyed: static destructors of other units may still log.
IClock& SystemClock() noexcept {
  alignas(TSystemClock) static unsigned char Storage[sizeof(TSystemClock)];
  static IClock* const Clock = new (Storage) TSystemClock;
  return *Clock;
}

IClock& CurrentClock() noexcept {
  IClock* const Clock = Replaced.load(std::memory_order_acquire);
  return Clock != nullptr ? *Clock : SystemClock();
}

void SetClock(IClock* Replacement) noexcept { Replaced.store(Replacement, std::memory_order_release); }

}  // namespace os
