#include "CommonSupport.h"
#include "HostTestSupport.h"

namespace hosttest {

// Windows names the machine-wide folder itself; the log test reads the file
// wherever the add-in says it is.
void UseTemporaryMachineDataFolder() {}
void RestoreMachineDataFolder() {}

}  // namespace hosttest

namespace testsupport {

// The tests other than the window tests run under Wine with no display
// (scripts/wine-run): the window cannot be made, and Windows says why.
const char16_t* const kViewLogWithoutDisplay = u"Cannot create the window: Invalid window handle. (1400)";

// The help's window is made as the log viewer's is, and fails the same way
// before its browser control is asked for.
const char16_t* const kShowHelpWithoutDisplay = kViewLogWithoutDisplay;

// Nothing to take away here: the display is scripts/wine-run's to give.
TNoDisplay::TNoDisplay() = default;
TNoDisplay::~TNoDisplay() = default;

}  // namespace testsupport
