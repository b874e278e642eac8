#pragma once
// A second local user for the attack tests: when the tests run as root, the
// user nobody plants files where root will look; otherwise the tests that need
// a second user skip with the reason.
#include <functional>

namespace testsupport {

bool RunningAsRoot();

// In a child process: becomes the second user when the test runs as root
// (else stays the test's own user); false when that failed.
bool BecomeAttacker();

// Runs Plant in a child process as the attacker (nobody when the test runs as
// root, else the test's own user) and tells whether it succeeded.
bool AsAttacker(const std::function<bool()>& Plant);

// Makes the entry at Path (a link itself, not what it points to) the second
// user's; false when that failed or there is no second user.
bool GiveToAttacker(const char* Path);

}  // namespace testsupport
