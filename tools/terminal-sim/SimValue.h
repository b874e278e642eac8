#pragma once
// Values as the simulated connector sees them: named fields in the order they
// were put, the loose conversions a COM server applies to its arguments, and
// the "Name=Value;..." text the control object shows.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Automation.h"

namespace terminal_sim {

using automation::Value;

struct Field {
  std::u16string Name;
  Value Data;
};
using FieldList = std::vector<Field>;

// Member and field names compare as COM compares them: ASCII letters in any case.
bool SameName(std::u16string_view A, std::u16string_view B) noexcept;

// Whether Name is one of Names (compared as above).
bool NameIn(std::u16string_view Name, std::initializer_list<std::u16string_view> Names) noexcept;

const Field* FindField(const FieldList& Fields, std::u16string_view Name) noexcept;
// Replaces the value of a field already there (keeping its place) or appends it.
void SetField(FieldList& Fields, std::u16string_view Name, Value Data);
void RemoveField(FieldList& Fields, std::u16string_view Name);

// A field's value, Empty when the list does not carry it.
Value FieldValue(const FieldList& Fields, std::u16string_view Name);

// Integers, Booleans (true = -1) and decimal texts as a number; nothing when
// the value is none of those (an object, a text that is not a number).
std::optional<int64_t> AsNumber(const Value& V);
// The number or "Type mismatch" as COM says it.
int32_t RequireInt32(const Value& V);
int64_t AsNumberOr(const Value& V, int64_t Fallback);
// Numbers in decimal, Booleans as "True"/"False", Empty as "".
std::u16string AsText(const Value& V);

// "Name=Value;Name=Value" in the order of the list.
std::u16string FieldsToText(const FieldList& Fields);

}  // namespace terminal_sim
