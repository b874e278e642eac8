#pragma once
// The simulated terminal's classes (Tandemix.SAPacket, Tandemix.TXLink and its
// control object Tandemix.Simulator) registered for the calling process only,
// for the tests and the benchmarks: on Linux in a class registry of the
// process's own, so that parallel processes and the machine's registry stay
// apart; on Windows through the COM server's own registration, in the build's
// Wine prefix.
namespace terminal_sim {

// Registers the classes, once; again only after UnregisterSimulator.
void RegisterSimulator();
// Takes the registration back, as uninstalling the server would.
void UnregisterSimulator();

// Platform parts (ProcessRegistration.*.cpp); they raise an Exception when
// the classes cannot be registered.
void RegisterSimulatorClasses();
void UnregisterSimulatorClasses();

}  // namespace terminal_sim
