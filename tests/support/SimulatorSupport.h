#pragma once
// The simulated terminal as the device tests see it: the connector's classes
// registered for this process, the simulator's control object to choose the
// terminal's answers and faults and to read back what the device sent.
#include <cstdint>
#include <string>

#include "platform/Automation.h"
#include "tools/terminal-sim/ProcessRegistration.h"

namespace device_test {

using terminal_sim::RegisterSimulator;

// The simulator reads a test's clock while this lives: the device under test
// and the terminal count the same time, so that the terminal's busy rule (250
// ms after an answer) judges the device's pacing on the test's clock.
using TSimulatorClock = terminal_sim::ClockShare;

class TSimulator {
public:
  TSimulator();  // a reset terminal

  // One setting of the simulator ("NextStatus", "Next.PAN", "NextFault" ...).
  void Set(const std::u16string& AName, const std::u16string& AValue);
  // "Name=Value;Name=Value" of the last request, in the order of the puts.
  std::u16string LastRequest();
  std::u16string LastChannel();
  int32_t LastTimeout();
  int32_t Count(const std::u16string& AName);
  std::u16string RequestField(const std::u16string& AName);

private:
  automation::ObjectRef FControl;
};

}  // namespace device_test
