#pragma once
// The host emulator's typed values on its command line and in its scripts
// ("int:42", "num:1.5", "date:2024-03-05T10:20:30"): a text it reads, printed,
// must read back as the same print, so that printed values can be pasted into
// a command; anything else it refuses with its own failure.
#include <string>

#include "tests/fuzz/FuzzText.h"
#include "tools/v8host/HostFailure.h"
#include "tools/v8host/HostValue.h"

namespace fuzztext {

inline void CheckHostValueText(const std::string& Argument) {
  std::string Printed;
  try {
    Printed = v8host::FormatValue(v8host::ParseValue(Argument));
  } catch (const v8host::HostFailure&) {
    return;
  }
  std::string Again;
  try {
    Again = v8host::FormatValue(v8host::ParseValue(Printed));
  } catch (const v8host::HostFailure&) {
    Fail("the host value \"" + Argument + "\" prints as \"" + Printed + "\", which is refused");
  }
  if (Again != Printed) Fail("the host value \"" + Printed + "\" reads back as \"" + Again + "\"");
}

}  // namespace fuzztext
