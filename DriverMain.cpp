// The library's own start-up: the log's vendor word, then the driver classes.
#include "logging/Common.Log.h"

namespace {
struct DriverStartUp {
  DriverStartUp() { SetLogVendor(u"Orvex"); }
};
const DriverStartUp StartUp;
}  // namespace
