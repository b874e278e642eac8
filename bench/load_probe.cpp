// Started afresh for each measurement of the load benchmarks: loads the add-in
// named on its command line as the host loads one and prints how long the load
// and the first GetClassNames took, in nanoseconds of a monotonic clock, and
// how many page faults the process took meanwhile. The cost of starting this
// process is not in the figures.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

#include "bridge/V8Abi.h"
#include "platform/Text.h"
#include "tools/v8host/DynamicLibrary.h"

namespace {
long PageFaultsSoFar() {
  rusage Usage{};
  ::getrusage(RUSAGE_SELF, &Usage);
  return Usage.ru_minflt + Usage.ru_majflt;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: load_probe LIBRARY\n", stderr);
    return 2;
  }
  try {
    const std::u16string Path = FromUtf8(argv[1]);
    const long FaultsBefore = PageFaultsSoFar();
    const auto Start = std::chrono::steady_clock::now();
    const v8host::DynamicLibrary Library(Path);
    const auto ClassNames = reinterpret_cast<TGetClassNames>(Library.FindExport("GetClassNames"));
    const V8Char* Names = ClassNames ? ClassNames() : nullptr;
    const auto Stop = std::chrono::steady_clock::now();
    const long Faults = PageFaultsSoFar() - FaultsBefore;
    if (!Names || !*Names) {
      std::fprintf(stderr, "load_probe: %s names no class\n", argv[1]);
      return 1;
    }
    std::printf("%lld %ld\n", static_cast<long long>(std::chrono::nanoseconds(Stop - Start).count()), Faults);
    return 0;
  } catch (const std::exception& Failure) {
    std::fprintf(stderr, "load_probe: %s\n", Failure.what());
    return 1;
  }
}
