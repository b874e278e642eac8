// The host's dates as the library reads them: day counts (VTYPE_DATE) and
// broken-down times (VTYPE_TM) made dates and texts, for the call log and the
// connector's date-time field; and the host emulator's typed dates. Nothing
// but the documented refusals may be raised, a refusal of the text is the same
// as that of the check made without it, and a date that decodes encodes back
// to the same date and time (day counts between -1 and 0 share the instants of
// day 0 from the other side).

#include "bridge/v8napi.h"
#include "device/uDeviceData.h"
#include "platform/DateTime.h"
#include "platform/Exception.h"
#include "tests/fuzz/FuzzHostValue.h"

namespace {

constexpr std::size_t kTerminalDateTimeDigits = 14;
constexpr std::size_t kMaxDateText = 24;

bool SameDateTime(const LocalDateTime& A, const LocalDateTime& B) {
  return A.Year == B.Year && A.Month == B.Month && A.Day == B.Day && A.Hour == B.Hour && A.Minute == B.Minute &&
         A.Second == B.Second && A.Millisecond == B.Millisecond;
}

bool Raises(void (*Check)(const V8Variant&), const V8Variant& Record) {
  try {
    Check(Record);
    return false;
  } catch (const Exception&) {
    return true;
  }
}

void CheckRecordText(const V8Variant& Record) {
  const bool TextRaises = Raises([](const V8Variant& R) { V8ToText(R); }, Record);
  if (TextRaises != Raises(&V8CheckText, Record)) fuzztext::Fail("the check and the text disagree");
}

void CheckDayCount(double DayCount) {
  V8Variant Record{};
  Record.vt = VTYPE_DATE;
  Record.date = DayCount;
  CheckRecordText(Record);
  LocalDateTime Date;
  try {
    Date = DecodeDateTime(DayCount);
  } catch (const Exception&) {
    return;
  }
  const LocalDateTime Back = DecodeDateTime(
      EncodeDateTime(Date.Year, Date.Month, Date.Day, Date.Hour, Date.Minute, Date.Second, Date.Millisecond));
  if (!SameDateTime(Back, Date)) fuzztext::Fail("a decoded date encodes to another date and time");
  const std::u16string Terminal = TerminalDateTimeText(Date);
  if (Terminal.size() != kTerminalDateTimeDigits) fuzztext::Fail("the terminal's date-time is not 14 digits");
}

void CheckBrokenDown(FuzzedDataProvider& In) {
  V8Variant Record{};
  Record.vt = VTYPE_TM;
  TV8tm& Tm = Record.tmVal;
  for (int* Field : {&Tm.tm_sec, &Tm.tm_min, &Tm.tm_hour, &Tm.tm_mday, &Tm.tm_mon, &Tm.tm_year, &Tm.tm_wday,
                     &Tm.tm_yday, &Tm.tm_isdst}) {
    *Field = In.ConsumeBool() ? In.ConsumeIntegralInRange<int>(-2, 70) : In.ConsumeIntegral<int>();
  }
  if (In.ConsumeBool()) Tm.tm_year = In.ConsumeIntegralInRange<int>(-1900, 8200);
  CheckRecordText(Record);
  double DayCount = 0;
  try {
    DayCount = V8TmToDateTime(Tm);
  } catch (const Exception&) {
    return;
  }
  const LocalDateTime Expected{Tm.tm_year + 1900, Tm.tm_mon + 1, Tm.tm_mday, Tm.tm_hour, Tm.tm_min, Tm.tm_sec, 0};
  if (!SameDateTime(DecodeDateTime(DayCount), Expected)) fuzztext::Fail("a broken-down time reads as another");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  FuzzedDataProvider In(Data, Size);
  CheckDayCount(fuzztext::AnyDouble(In));
  CheckDayCount(In.ConsumeFloatingPointInRange<double>(-700000.0, 3000000.0));
  CheckBrokenDown(In);
  fuzztext::CheckHostValueText("date:" + In.ConsumeRandomLengthString(kMaxDateText));
  return 0;
}
