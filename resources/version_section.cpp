// The file version stamp of an add-in library on ELF systems: the counterpart
// of the Windows version resource, found by name in the file's section table.
#include <cstdint>

#include "OrvexVersion.h"
#include "logging/uVInfo.h"

namespace {
__attribute__((section(ORVEX_VERSION_SECTION), used))
const uint16_t FileVersion[4] = {ORVEX_VERSION_MAJOR, ORVEX_VERSION_MINOR, ORVEX_VERSION_PATCH, ORVEX_VERSION_TWEAK};
}  // namespace
