#include "HostTestSupport.h"

namespace hosttest {

// Windows names the machine-wide folder itself; the log test reads the file
// wherever the add-in says it is.
void UseTemporaryMachineDataFolder() {}
void RestoreMachineDataFolder() {}

}  // namespace hosttest
