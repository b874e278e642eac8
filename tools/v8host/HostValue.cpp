#include "tools/v8host/HostValue.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/DateTime.h"
#include "platform/Text.h"
#include "tools/v8host/HostFailure.h"
#include "tools/v8host/HostObjects.h"

namespace v8host {

namespace {

template <class... Visitors>
struct Overloaded : Visitors... {
  using Visitors::operator()...;
};
template <class... Visitors>
Overloaded(Visitors...) -> Overloaded<Visitors...>;

[[noreturn]] void RaiseBadValue(std::string_view Argument, std::string_view Expected) {
  throw HostFailure(FailureKind::BadArgument,
                    FromUtf8("Bad value \"" + std::string(Argument) + "\": expected " + std::string(Expected)));
}

void WriteText(HostMemoryManager& Memory, std::u16string_view Text, V8Variant& Record) {
  const std::size_t Bytes = (Text.size() + 1) * sizeof(V8Char);
  auto* Characters = static_cast<V8Char*>(Memory.Allocate(Bytes));
  std::memcpy(Characters, Text.data(), Text.size() * sizeof(V8Char));
  Characters[Text.size()] = u'\0';
  Record.vtRecWideString.pwstrVal = Characters;
  Record.vtRecWideString.wstrLen = static_cast<uint32_t>(Text.size());
  Record.vt = VTYPE_PWSTR;
}

std::u16string TextOf(const V8Variant& Record) {
  const V8Char* Characters = Record.vtRecWideString.pwstrVal;
  return Characters ? std::u16string(Characters) : std::u16string();
}

bool OwnsBlock(const V8Variant& Record) noexcept {
  const auto Type = static_cast<uint16_t>(Record.vt & VTYPE_BASE_MASK);
  return Type == VTYPE_PSTR || Type == VTYPE_PWSTR || Type == VTYPE_BLOB;
}

template <class Number>
Number ParseNumber(std::string_view Argument, std::string_view Digits, std::string_view Expected) {
  Number Value{};
  const auto [End, Error] = std::from_chars(Digits.data(), Digits.data() + Digits.size(), Value);
  if (Digits.empty() || Error != std::errc() || End != Digits.data() + Digits.size()) RaiseBadValue(Argument, Expected);
  return Value;
}

double ParseNumberText(std::string_view Argument, std::string_view Digits) {
  double Value = 0;
  if (!TryParseDouble(FromUtf8(Digits), Value) || !std::isfinite(Value)) RaiseBadValue(Argument, "a number like 1.5");
  return Value;
}

bool ParseBool(std::string_view Argument, std::string_view Word) {
  if (Word == "true" || Word == "1") return true;
  if (Word == "false" || Word == "0") return false;
  RaiseBadValue(Argument, "true or false");
}

// "YYYY-MM-DD" with an optional "THH:MM:SS".
double ParseDate(std::string_view Argument, std::string_view Text) {
  constexpr std::string_view Expected = "a date like 2024-03-05 or 2024-03-05T10:20:30";
  const bool HasTime = Text.size() == 19;
  if (Text.size() != 10 && !HasTime) RaiseBadValue(Argument, Expected);
  if (Text[4] != '-' || Text[7] != '-' || (HasTime && (Text[10] != 'T' || Text[13] != ':' || Text[16] != ':')))
    RaiseBadValue(Argument, Expected);
  const auto Field = [&](std::size_t Start, std::size_t Length) {
    return ParseNumber<int>(Argument, Text.substr(Start, Length), Expected);
  };
  try {
    return EncodeDateTime(Field(0, 4), Field(5, 2), Field(8, 2), HasTime ? Field(11, 2) : 0, HasTime ? Field(14, 2) : 0,
                          HasTime ? Field(17, 2) : 0, 0);
  } catch (const Exception& Failure) {
    throw HostFailure(FailureKind::BadArgument,
                      FromUtf8("Bad value \"" + std::string(Argument) + "\": ") + Failure.Message());
  }
}

std::string FormatDate(const HostDate& Date) {
  LocalDateTime Parts;
  try {
    Parts = DecodeDateTime(Date.DayCount);
  } catch (const Exception&) {
    return ToUtf8(FloatToText(Date.DayCount));  // outside the calendar: the raw day count
  }
  char Text[32];
  std::snprintf(Text, sizeof Text, "%04d-%02d-%02dT%02d:%02d:%02d", Parts.Year, Parts.Month, Parts.Day, Parts.Hour,
                Parts.Minute, Parts.Second);
  return Text;
}

}  // namespace

void ZeroRecord(V8Variant& Record) noexcept { std::memset(static_cast<void*>(&Record), 0, sizeof(Record)); }

void WriteRecord(HostMemoryManager& Memory, const HostValue& Value, V8Variant& Record) {
  ZeroRecord(Record);
  std::visit(Overloaded{
                 [&](std::monostate) {},
                 [&](const std::u16string& Text) { WriteText(Memory, Text, Record); },
                 [&](int32_t Number) {
                   Record.lVal = Number;
                   Record.vt = VTYPE_I4;
                 },
                 [&](int64_t Number) {
                   Record.llVal = Number;
                   Record.vt = VTYPE_I8;
                 },
                 [&](double Number) {
                   Record.dblVal = Number;
                   Record.vt = VTYPE_R8;
                 },
                 [&](bool Flag) {
                   Record.bVal = Flag;
                   Record.vt = VTYPE_BOOL;
                 },
                 [&](HostDate Date) {
                   Record.date = Date.DayCount;
                   Record.vt = VTYPE_DATE;
                 },
                 [&](HostOther Other) { Record.vt = Other.Type; },
             },
             Value);
}

HostValue ReadRecord(const V8Variant& Record) {
  switch (Record.vt) {
    case VTYPE_EMPTY: return std::monostate{};
    case VTYPE_PWSTR: return TextOf(Record);
    case VTYPE_I4: return Record.lVal;
    case VTYPE_I8: return Record.llVal;
    case VTYPE_R8: return Record.dblVal;
    case VTYPE_BOOL: return Record.bVal;
    case VTYPE_DATE: return HostDate{Record.date};
    default: return HostOther{Record.vt};
  }
}

void ReleaseRecord(HostMemoryManager& Memory, V8Variant& Record) noexcept {
  // Every string and blob type points at its block through the same first word.
  if (OwnsBlock(Record)) Memory.Release(Record.vtRecString.pstrVal);
  ZeroRecord(Record);
}

HostValue ParseValue(std::string_view Argument) {
  if (Argument == "empty") return std::monostate{};
  const std::size_t Colon = Argument.find(':');
  const std::string_view Prefix = Argument.substr(0, Colon == std::string_view::npos ? 0 : Colon);
  const std::string_view Rest = Colon == std::string_view::npos ? Argument : Argument.substr(Colon + 1);
  if (Prefix == "text") return FromUtf8(Rest);
  if (Prefix == "int") return ParseNumber<int32_t>(Argument, Rest, "a 32-bit integer like 42");
  if (Prefix == "int64") return ParseNumber<int64_t>(Argument, Rest, "a 64-bit integer like 42");
  if (Prefix == "num") return ParseNumberText(Argument, Rest);
  if (Prefix == "bool") return ParseBool(Argument, Rest);
  if (Prefix == "date") return HostDate{ParseDate(Argument, Rest)};
  return FromUtf8(Argument);
}

namespace {
// The log's 15 significant digits, unless they round past the largest double
// (1.79769313486232E308 reads as out of range): then the shortest exact form,
// so that a printed number can always be pasted back.
std::string NumberWord(double Number) {
  const std::u16string Text = FloatToText(Number);
  double Back = 0;
  if (!std::isfinite(Number) || TryParseDouble(Text, Back)) return ToUtf8(Text);
  char Exact[32];
  const auto Written = std::to_chars(Exact, Exact + sizeof Exact, Number);
  return std::string(Exact, Written.ptr);
}

struct ValueWords {
  std::string Type;
  std::string Value;
};

ValueWords WordsOf(const HostValue& Value) {
  return std::visit(Overloaded{
                        [](std::monostate) {
                          return ValueWords{"empty", ""};
                        },
                        [](const std::u16string& Text) {
                          return ValueWords{"text", ToUtf8(Text)};
                        },
                        [](int32_t Number) {
                          return ValueWords{"int", std::to_string(Number)};
                        },
                        [](int64_t Number) {
                          return ValueWords{"int64", std::to_string(Number)};
                        },
                        [](double Number) {
                          return ValueWords{"num", NumberWord(Number)};
                        },
                        [](bool Flag) {
                          return ValueWords{"bool", Flag ? "true" : "false"};
                        },
                        [](HostDate Date) {
                          return ValueWords{"date", FormatDate(Date)};
                        },
                        [](HostOther Other) {
                          return ValueWords{"other", TypeCodeName(Other.Type)};
                        },
                    },
                    Value);
}
}  // namespace

std::string TypeWord(const HostValue& Value) { return WordsOf(Value).Type; }

std::string ValueWord(const HostValue& Value) { return WordsOf(Value).Value; }

std::string FormatValue(const HostValue& Value) {
  if (std::holds_alternative<std::monostate>(Value)) return "empty";
  return TypeWord(Value) + ":" + ValueWord(Value);
}

std::string TypeCodeName(uint16_t Type) {
  static constexpr const char* Names[] = {
      "VTYPE_EMPTY",   "VTYPE_NULL",  "VTYPE_I2",        "VTYPE_I4",    "VTYPE_R4",   "VTYPE_R8",      "VTYPE_DATE",
      "VTYPE_TM",      "VTYPE_PSTR",  "VTYPE_INTERFACE", "VTYPE_ERROR", "VTYPE_BOOL", "VTYPE_VARIANT", "VTYPE_I1",
      "VTYPE_UI1",     "VTYPE_UI2",   "VTYPE_UI4",       "VTYPE_I8",    "VTYPE_UI8",  "VTYPE_INT",     "VTYPE_UINT",
      "VTYPE_HRESULT", "VTYPE_PWSTR", "VTYPE_BLOB",      "VTYPE_CLSID"};
  const auto Base = static_cast<uint16_t>(Type & VTYPE_BASE_MASK);
  std::string Name = Base < std::size(Names)  ? Names[Base]
                     : Base == VTYPE_STR_BLOB ? "VTYPE_STR_BLOB"
                                              : "type " + std::to_string(Base);
  if (Type & VTYPE_BYREF) return Name + " by ref";
  if (Type & VTYPE_ARRAY) return Name + " array";
  if (Type & VTYPE_VECTOR) return Name + " vector";
  return Name;
}

}  // namespace v8host
