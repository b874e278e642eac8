#pragma once
// A case in a forked child process of its own, for conditions that cannot be
// undone once made (a library loaded, a display given up), and the host's view
// of one driver action there.
#include <functional>
#include <string>
#include <string_view>

namespace hosttest {

struct TChildResult {
  bool Exited = false;
  int Status = -1;
  std::string Report;
};

// Runs Body in a forked child and brings back what it answered; the child
// leaves by _exit, so nothing of the parent's state is torn down twice.
TChildResult RunInChild(const std::function<std::string()>& Body);

// The host opens the driver and runs the action by name; then, to show it is
// still running, asks the driver something else. Answers "return|code|message|next call".
std::string ActionAsTheHostDoes(std::u16string_view Action);

}  // namespace hosttest
