#include "tools/terminal-sim/ProcessRegistration.h"

#include <mutex>

#include "platform/Exception.h"
#include "tools/terminal-sim/ClockSeam.h"

namespace terminal_sim {

namespace {

std::mutex RegistrationLock;
bool Registered = false;

}  // namespace

void RegisterSimulator() {
  const std::lock_guard<std::mutex> Lock(RegistrationLock);
  if (Registered) return;
  RegisterSimulatorClasses();
  Registered = true;
}

void UnregisterSimulator() {
  const std::lock_guard<std::mutex> Lock(RegistrationLock);
  if (!Registered) return;
  UnregisterSimulatorClasses();
  Registered = false;
}

void ShareClockWithSimulator(os::IClock* Clock) {
  void* Entry = SimulatorClockEntry(Clock != nullptr);
  if (Entry == nullptr) {
    if (Clock == nullptr) return;
    throw Exception(std::string_view("The simulator's module has no clock entry (TerminalSimUseClock)"));
  }
  reinterpret_cast<UseClockEntry>(Entry)(Clock);
}

}  // namespace terminal_sim
