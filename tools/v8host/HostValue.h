#pragma once
// A small typed value for people and tests, and its passage in and out of the
// host's value records. Text is UTF-16 in records, UTF-8 on the console.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "bridge/V8Abi.h"

namespace v8host {

class HostMemoryManager;

struct HostDate {
  double DayCount = 0;  // days since 30 December 1899, the fraction the time of day
  bool operator==(const HostDate&) const = default;
};
// A record of a type that has no place here (VTYPE_R4, a blob, a flagged type...).
struct HostOther {
  uint16_t Type = VTYPE_EMPTY;
  bool operator==(const HostOther&) const = default;
};

// Empty, text, integer, 64-bit integer, number, Boolean, date, other.
using HostValue = std::variant<std::monostate, std::u16string, int32_t, int64_t, double, bool, HostDate, HostOther>;

// Zero-fills the record first, as the host does with every record it creates;
// text goes into a block of the host's memory manager.
void WriteRecord(HostMemoryManager& Memory, const HostValue& Value, V8Variant& Record);
HostValue ReadRecord(const V8Variant& Record);
// Frees the string or blob the record holds through the host's memory manager
// and zero-fills it: what the host does with every record it gets back.
void ReleaseRecord(HostMemoryManager& Memory, V8Variant& Record) noexcept;
void ZeroRecord(V8Variant& Record) noexcept;

// Command-line forms: "empty", "text:...", "int:42", "int64:...", "num:1.5",
// "bool:true", "date:2024-03-05" or "date:2024-03-05T10:20:30"; anything without
// one of these prefixes is text. Raises a HostFailure (BadArgument) otherwise.
HostValue ParseValue(std::string_view Argument);
// The same form back, so that printed values can be pasted into a command.
std::string FormatValue(const HostValue& Value);
// The type word ("empty", "text", "int", "int64", "num", "bool", "date", "other")
// and the value alone, for machine-readable output.
std::string TypeWord(const HostValue& Value);
std::string ValueWord(const HostValue& Value);

// The host's name of a type code ("VTYPE_R4").
std::string TypeCodeName(uint16_t Type);

}  // namespace v8host
