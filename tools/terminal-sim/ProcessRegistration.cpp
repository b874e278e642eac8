#include "tools/terminal-sim/ProcessRegistration.h"

#include <mutex>

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

}  // namespace terminal_sim
