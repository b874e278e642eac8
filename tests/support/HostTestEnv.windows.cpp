#include "CommonSupport.h"
#include "HostTestSupport.h"

namespace hosttest {

// Windows names the machine-wide folder itself; the log test reads the file
// wherever the add-in says it is.
void UseTemporaryMachineDataFolder() {}
void RestoreMachineDataFolder() {}

}  // namespace hosttest

namespace testsupport {

// The Windows view is not in this build yet: the action fails the same way everywhere.
const char16_t* const kViewLogWithoutDisplay = u"Окно просмотра лога недоступно в этой сборке";

TNoDisplay::TNoDisplay() = default;
TNoDisplay::~TNoDisplay() = default;

}  // namespace testsupport
