// The provider library's one entry: the class registry maps the simulator's
// ProgIDs to this library, and every object is created here.
#include "platform/AutomationProvider.h"
#include "tools/terminal-sim/ClockSeam.h"
#include "tools/terminal-sim/SimObject.h"

extern "C" __attribute__((visibility("default"))) automation::Object* OrvexCreateAutomationObject(
    const char16_t* ProgId) {
  if (!ProgId) return nullptr;
  return terminal_sim::CreateSimObject(ProgId).release();
}

// The test seam of ClockSeam.h.
extern "C" __attribute__((visibility("default"))) void TerminalSimUseClock(os::IClock* Clock) {
  terminal_sim::UseClock(Clock);
}
