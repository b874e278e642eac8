#pragma once
// The simulated terminal's classes (Tandemix.SAPacket, Tandemix.TXLink and its
// control object Tandemix.Simulator) registered for this test process: on
// Linux in a class registry of the process's own, so that parallel test
// processes and the machine's registry stay apart; on Windows through the COM
// server's own registration, in the test build's Wine prefix.
namespace testsupport {

// Registers the classes, once; again only after UnregisterSimulator.
void RegisterSimulator();
// Takes the registration back, as uninstalling the server would.
void UnregisterSimulator();

// Platform parts (SimulatorRegistration.*.cpp); they raise an Exception when
// the classes cannot be registered.
void RegisterSimulatorClasses();
void UnregisterSimulatorClasses();

}  // namespace testsupport
