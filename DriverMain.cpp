// The library's own start-up: the log's vendor word, then the one driver class
// under the extension name the host knows it by.
#include "OrvexClassName.h"
#include "acquiring/uDriver.h"
#include "logging/Common.Log.h"
#include "platform/Resources.h"
#include "resources/StringIds.h"

namespace {

constexpr std::u16string_view kExtension = ORVEX_CLASS_NAME;

struct DriverStartUp {
  DriverStartUp() {
    SetLogVendor(u"Orvex");
    // Nothing may escape while the host loads the library: a start-up that
    // fails leaves a library without classes, which the host reports itself.
    try {
      TCommonDriver::RegisterDriver<TDriver>(kExtension, resources::LoadString(resources::kDriverNameId),
                                             resources::LoadString(resources::kDriverDescriptionId));
    } catch (...) {
      WriteLog(u"Start-up failed", CurrentExceptionMessage(), TLogLevel::llError);
    }
  }
};
const DriverStartUp StartUp;

}  // namespace
