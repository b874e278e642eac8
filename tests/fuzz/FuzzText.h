#pragma once
// What the fuzz targets share: UTF-16 text out of the fuzzer's bytes, any
// double, the stop at a finding. Text comes as the library's readers receive it:
// a byte below 0xE0 is that code unit (ASCII digits and letters, controls, NUL,
// Latin-1), a higher byte takes the next two as one unit (Cyrillic, surrogates
// paired or not, U+FFFF), so that short inputs stay mostly readable text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace fuzztext {

inline constexpr uint8_t kWideUnitMark = 0xE0;

inline char16_t NextUnit(FuzzedDataProvider& In) {
  const auto First = In.ConsumeIntegral<uint8_t>();
  if (First < kWideUnitMark) return First;
  return In.ConsumeIntegral<uint16_t>();
}

// At most MaxUnits units; the length is chosen first.
inline std::u16string Text(FuzzedDataProvider& In, std::size_t MaxUnits) {
  std::u16string Out(In.ConsumeIntegralInRange<std::size_t>(0, MaxUnits), u'\0');
  for (char16_t& Unit : Out) Unit = NextUnit(In);
  return Out;
}

// Everything that is left, unit by unit.
inline std::u16string RemainingText(FuzzedDataProvider& In) {
  std::u16string Out;
  while (In.remaining_bytes() > 0) Out += NextUnit(In);
  return Out;
}

// Any double, NaNs, infinities and subnormals too: the bits as they come.
inline double AnyDouble(FuzzedDataProvider& In) {
  const auto Bits = In.ConsumeIntegral<uint64_t>();
  double Value = 0;
  std::memcpy(&Value, &Bits, sizeof(Value));
  return Value;
}

// Stops the run with what was found; libFuzzer keeps the input.
[[noreturn]] inline void Fail(const std::string& What) {
  std::fprintf(stderr, "FINDING: %s\n", What.c_str());
  std::abort();
}

// The readers' targets: half of the inputs are built well-formed, so that what
// is put in can be looked for in what comes out; the others go in as they come.
inline int WellFormedOrAny(const uint8_t* Data, std::size_t Size, void (*WellFormed)(FuzzedDataProvider&),
                           void (*Any)(FuzzedDataProvider&)) {
  FuzzedDataProvider In(Data, Size);
  (In.ConsumeBool() ? WellFormed : Any)(In);
  return 0;
}

}  // namespace fuzztext
