#pragma once
// The simulator's clock, a test seam: the busy rule's tick count, the Delay
// setting's pause and the time on its receipts come from the process's clock
// as the simulator's own module sees it (platform/Clock.h). A test whose
// driver reads a test clock hands the same clock to the simulator, so that
// both count the same milliseconds. Not for RealDelay, which is always waited
// in real time.
//
// The module (provider library or COM server) exports, with C linkage:
//   void TerminalSimUseClock(os::IClock* Clock);  // null: the system's clock
// The clock must outlive its use; ProcessRegistration.h calls the export.
namespace os {
class IClock;
}

namespace terminal_sim {

inline constexpr char kUseClockEntryName[] = "TerminalSimUseClock";
using UseClockEntry = void (*)(os::IClock* Clock);

// What the export does: the module's clock becomes Clock, and the terminal
// forgets when it last answered (a time of the other clock).
void UseClock(os::IClock* Clock) noexcept;

}  // namespace terminal_sim
