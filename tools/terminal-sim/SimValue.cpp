#include "tools/terminal-sim/SimValue.h"

#include <algorithm>

#include "platform/Exception.h"
#include "platform/Text.h"

namespace terminal_sim {

namespace {

char16_t LowerAscii(char16_t C) noexcept { return (C >= u'A' && C <= u'Z') ? static_cast<char16_t>(C + 32) : C; }

std::optional<int64_t> ParseDecimal(std::u16string_view Text) {
  auto Trimmed = TrimControl(Text);
  if (Trimmed.empty()) return std::nullopt;
  bool Negative = Trimmed.front() == u'-';
  if (Negative || Trimmed.front() == u'+') Trimmed.remove_prefix(1);
  if (Trimmed.empty() || Trimmed.size() > 18) return std::nullopt;
  int64_t Result = 0;
  for (char16_t C : Trimmed) {
    if (C < u'0' || C > u'9') return std::nullopt;
    Result = Result * 10 + (C - u'0');
  }
  return Negative ? -Result : Result;
}

}  // namespace

bool SameName(std::u16string_view A, std::u16string_view B) noexcept {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(),
                                            [](char16_t X, char16_t Y) { return LowerAscii(X) == LowerAscii(Y); });
}

bool NameIn(std::u16string_view Name, std::initializer_list<std::u16string_view> Names) noexcept {
  return std::any_of(Names.begin(), Names.end(), [&](std::u16string_view N) { return SameName(N, Name); });
}

const Field* FindField(const FieldList& Fields, std::u16string_view Name) noexcept {
  auto It = std::find_if(Fields.begin(), Fields.end(), [&](const Field& F) { return SameName(F.Name, Name); });
  return It == Fields.end() ? nullptr : &*It;
}

void SetField(FieldList& Fields, std::u16string_view Name, Value Data) {
  if (auto* Existing = const_cast<Field*>(FindField(Fields, Name))) {
    Existing->Data = std::move(Data);
    return;
  }
  Fields.push_back({std::u16string(Name), std::move(Data)});
}

void RemoveField(FieldList& Fields, std::u16string_view Name) {
  std::erase_if(Fields, [&](const Field& F) { return SameName(F.Name, Name); });
}

Value FieldValue(const FieldList& Fields, std::u16string_view Name) {
  const Field* Found = FindField(Fields, Name);
  return Found ? Found->Data : Value{};
}

std::optional<int64_t> AsNumber(const Value& V) {
  if (std::holds_alternative<std::monostate>(V)) return 0;
  if (auto* I = std::get_if<int32_t>(&V)) return *I;
  if (auto* L = std::get_if<int64_t>(&V)) return *L;
  if (auto* B = std::get_if<bool>(&V)) return *B ? -1 : 0;
  if (auto* T = std::get_if<std::u16string>(&V)) return ParseDecimal(*T);
  return std::nullopt;
}

int32_t RequireInt32(const Value& V) {
  auto Number = AsNumber(V);
  if (!Number || *Number < INT32_MIN || *Number > INT32_MAX) throw Exception(std::string_view("Type mismatch"));
  return static_cast<int32_t>(*Number);
}

int64_t AsNumberOr(const Value& V, int64_t Fallback) { return AsNumber(V).value_or(Fallback); }

std::u16string AsText(const Value& V) {
  if (auto* T = std::get_if<std::u16string>(&V)) return *T;
  if (auto* B = std::get_if<bool>(&V)) return *B ? u"True" : u"False";
  if (auto* I = std::get_if<int32_t>(&V)) return IntToText(*I);
  if (auto* L = std::get_if<int64_t>(&V)) return IntToText(*L);
  if (std::holds_alternative<automation::ObjectRef>(V)) return u"<object>";
  return {};
}

std::u16string FieldsToText(const FieldList& Fields) {
  std::u16string Out;
  for (const Field& F : Fields) {
    if (!Out.empty()) Out += u';';
    Out += F.Name;
    Out += u'=';
    Out += AsText(F.Data);
  }
  return Out;
}

}  // namespace terminal_sim
