#pragma once
// Codes of the last result that GetLastError reports. There is no message
// table: the description is always the failure's own text.
#include <cstdint>

inline constexpr int32_t kErrorCodeSuccess = 0;
// Any failure of a standard method.
inline constexpr int32_t kErrorCodeFailure = 1001;
// A device failure with operation status 0, recorded by the extended methods.
inline constexpr int32_t kErrorCodeDevice = 4501;
