#pragma once
// The simulated terminal's classes (Tandemix.SAPacket, Tandemix.TXLink and its
// control object Tandemix.Simulator) registered for the calling process only,
// for the tests and the benchmarks: on Linux in a class registry of the
// process's own, so that parallel processes and the machine's registry stay
// apart; on Windows through the COM server's own registration, in the build's
// Wine prefix.
namespace os {
class IClock;
}

namespace terminal_sim {

// The simulator of this process reads Clock from now on, null for the
// system's clock again (tools/terminal-sim/ClockSeam.h): a test that runs the
// device on a test clock shares it, so that the terminal's busy rule counts
// the device's milliseconds. Loads the simulator's module when Clock is not
// null; null for a module not loaded does nothing. Raises an Exception when
// the module or its entry cannot be found.
void ShareClockWithSimulator(os::IClock* Clock);

// The same for a scope: the simulator reads Clock while this lives, the
// system's clock again afterwards.
class ClockShare {
public:
  explicit ClockShare(os::IClock& Clock) { ShareClockWithSimulator(&Clock); }
  ~ClockShare() { ShareClockWithSimulator(nullptr); }
  ClockShare(const ClockShare&) = delete;
  ClockShare& operator=(const ClockShare&) = delete;
};

// Registers the classes, once; again only after UnregisterSimulator.
void RegisterSimulator();
// Takes the registration back, as uninstalling the server would.
void UnregisterSimulator();

// Platform parts (ProcessRegistration.*.cpp); they raise an Exception when
// the classes cannot be registered.
void RegisterSimulatorClasses();
void UnregisterSimulatorClasses();
// The module's entry of ClockSeam.h, loading the module if Load; null when it
// is not loaded (and not Load).
void* SimulatorClockEntry(bool Load);

}  // namespace terminal_sim
