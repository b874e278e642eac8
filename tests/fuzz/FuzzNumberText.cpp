// The number text readers and writers: host texts read as numbers, the
// connector's field values read as integers, host numbers made amounts and
// amounts made the connector's text of hundredths; the host emulator's typed
// numbers. Nothing but the readers'
// own refusals may be raised; what is written reads back as the same number.
#include <cmath>
#include <limits>

#include "acquiring/uAcquiringTerminalDriver.h"
#include "bridge/v8napi.h"
#include "device/uDeviceData.h"
#include "platform/Automation.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "tests/fuzz/FuzzHostValue.h"

namespace {

constexpr std::size_t kMaxText = 40;
// FloatToText keeps 15 significant digits.
constexpr double kTextPrecision = 1e-14;
// Rounded to 15 digits, the largest doubles read back as out of range.
constexpr double kLargestReadBack = 1.797693134862315e308;

void CheckText(const std::u16string& Text) {
  int32_t Int = 0;
  if (TryParseInt32(Text, Int)) {
    int32_t Back = 0;
    if (!TryParseInt32(IntToText(Int), Back) || Back != Int) fuzztext::Fail("an integer does not read back");
  }
  double Number = 0;
  if (TryParseDouble(Text, Number) && !std::isfinite(Number))
    fuzztext::Fail("a text read as a number that is not finite");
  try {
    const int64_t Wide = automation::ToInt64(Text);
    try {
      if (automation::ToInt32(Text) != Wide) fuzztext::Fail("32-bit and 64-bit readings differ");
    } catch (const Exception&) {
      if (Wide >= std::numeric_limits<int32_t>::min() && Wide <= std::numeric_limits<int32_t>::max()) {
        fuzztext::Fail("a 32-bit value refused");
      }
    }
  } catch (const Exception&) {
  }
  try {
    automation::ToBool(Text);
  } catch (const Exception&) {
  }
  RecNumValue(Text);
}

void CheckDouble(double Value) {
  if (!std::isfinite(Value)) return;
  double Back = 0;
  if (!TryParseDouble(FloatToText(Value), Back)) {
    if (std::fabs(Value) < kLargestReadBack) fuzztext::Fail("a number's text does not read back");
    return;
  }
  if (std::fabs(Back - Value) > std::fabs(Value) * kTextPrecision)
    fuzztext::Fail("a number's text reads back as another");
}

// The amount in ten-thousandths within half a unit of the host's number, and
// its hundredths within half a hundredth of that.
void CheckAmount(double Value) {
  Currency Amount = 0;
  try {
    Amount = AmountToCurrency(Value);
  } catch (const Exception&) {
    return;
  }
  const long double Exact = static_cast<long double>(Value) * 10000.0L;
  if (std::fabs(static_cast<long double>(Amount) - Exact) > 0.5L + std::fabs(Exact) * 1e-18L) {
    fuzztext::Fail("the amount is not the host's number rounded");
  }
  double Hundredths = 0;
  if (!TryParseDouble(AmountToText(Amount), Hundredths)) fuzztext::Fail("an amount's text is no number");
  if (std::fabs(static_cast<long double>(Hundredths) * 100.0L - static_cast<long double>(Amount)) >
      50.0L + std::fabs(static_cast<long double>(Amount)) * 1e-15L) {
    fuzztext::Fail("an amount's text is not its hundredths");
  }
}

// A host record as the property accessor and the methods read it; a number
// without a 32-bit integer part is refused.
void CheckRecord(double Value) {
  V8Variant Record{};
  Record.vt = VTYPE_R8;
  Record.dblVal = Value;
  try {
    if (V8AsBool(Record) != (V8AsInt(Record) != 0))
      fuzztext::Fail("a number reads as another Boolean than its integer");
  } catch (const Exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  FuzzedDataProvider In(Data, Size);
  const double Value = fuzztext::AnyDouble(In);
  CheckDouble(Value);
  CheckAmount(Value);
  CheckRecord(Value);
  CheckAmount(In.ConsumeFloatingPoint<double>());
  const std::string Prefix = In.PickValueInArray({"int:", "int64:", "num:", "bool:", ""});
  fuzztext::CheckHostValueText(Prefix + In.ConsumeRandomLengthString(kMaxText));
  CheckText(fuzztext::Text(In, kMaxText));
  CheckText(fuzztext::RemainingText(In));
  return 0;
}
