// The driver as the acquiring host tests load it: the product's own code (the
// same DriverMain.cpp and libraries), with the test clock of tests/support in
// force from the library's load to its unload, so that the device's pauses
// (the pacing between exchanges, the pause after the terminal's parameters)
// pass at once. The product library itself has no way in for a test clock.
#include "tests/support/FakeClock.h"

namespace {

testsupport::TFakeClock Clock;

}  // namespace
