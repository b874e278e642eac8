#include "platform/Automation.h"

#include <charconv>
#include <limits>
#include <string>

#include "platform/Exception.h"
#include "platform/Text.h"

namespace automation {

namespace {

// Long texts are cut in messages: the message names the value, it need not carry it.
constexpr std::size_t kQuotedTextLimit = 40;

bool IsBlank(char16_t C) { return C == u' ' || C == u'\t'; }

std::u16string_view WithoutBlanks(std::u16string_view Text) {
  while (!Text.empty() && IsBlank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlank(Text.back())) Text.remove_suffix(1);
  return Text;
}

std::u16string Quoted(std::u16string_view Text) {
  if (Text.size() <= kQuotedTextLimit) return u"\"" + std::u16string(Text) + u"\"";
  return u"\"" + std::u16string(Text.substr(0, kQuotedTextLimit)) + u"...\"";
}

// How a message names the value that could not be converted.
std::u16string Describe(const Value& V) {
  struct Describer {
    std::u16string operator()(std::monostate) const { return u"Empty"; }
    std::u16string operator()(int32_t N) const { return u"the number " + IntToText(N); }
    std::u16string operator()(int64_t N) const { return u"the number " + IntToText(N); }
    std::u16string operator()(bool B) const { return B ? u"the Boolean True" : u"the Boolean False"; }
    std::u16string operator()(const std::u16string& T) const { return u"the text " + Quoted(T); }
    std::u16string operator()(const ObjectRef& O) const { return O ? u"an object" : u"Nothing"; }
  };
  return std::visit(Describer{}, V);
}

[[noreturn]] void RaiseMismatch(const Value& V, std::u16string_view Target) {
  throw Exception(u"Could not convert " + Describe(V) + u" to " + std::u16string(Target));
}

// A signed decimal integer, nothing else but surrounding blanks.
bool TryParseDecimal(std::u16string_view Text, int64_t& Result) {
  const std::u16string_view Trimmed = WithoutBlanks(Text);
  if (Trimmed.empty() || Trimmed.size() > 24) return false;
  std::string Ascii;
  for (const char16_t C : Trimmed) {
    if (C >= 0x80) return false;
    Ascii += static_cast<char>(C);
  }
  std::string_view Digits = Ascii;
  const bool Plus = Digits.front() == '+';
  if (Plus) Digits.remove_prefix(1);
  // from_chars takes a minus sign itself, but not after a plus.
  if (Digits.empty() || (Plus && (Digits.front() < '0' || Digits.front() > '9'))) return false;
  const auto Parsed = std::from_chars(Digits.data(), Digits.data() + Digits.size(), Result);
  return Parsed.ec == std::errc() && Parsed.ptr == Digits.data() + Digits.size();
}

bool EqualsIgnoringAsciiCase(std::u16string_view A, std::u16string_view B) {
  if (A.size() != B.size()) return false;
  for (std::size_t I = 0; I < A.size(); ++I) {
    const auto Lower = [](char16_t C) { return C >= u'A' && C <= u'Z' ? static_cast<char16_t>(C + 32) : C; };
    if (Lower(A[I]) != Lower(B[I])) return false;
  }
  return true;
}

constexpr std::u16string_view kInt64Name = u"a 64-bit integer";
constexpr std::u16string_view kInt32Name = u"a 32-bit integer";

}  // namespace

int64_t ToInt64(const Value& V) {
  struct Converter {
    const Value& Whole;
    int64_t operator()(std::monostate) const { return 0; }
    int64_t operator()(int32_t N) const { return N; }
    int64_t operator()(int64_t N) const { return N; }
    int64_t operator()(bool B) const { return B ? -1 : 0; }
    int64_t operator()(const std::u16string& T) const {
      int64_t N = 0;
      if (!TryParseDecimal(T, N)) RaiseMismatch(Whole, kInt64Name);
      return N;
    }
    int64_t operator()(const ObjectRef&) const { RaiseMismatch(Whole, kInt64Name); }
  };
  return std::visit(Converter{V}, V);
}

int32_t ToInt32(const Value& V) {
  if (const auto* Small = std::get_if<int32_t>(&V)) return *Small;
  if (std::holds_alternative<ObjectRef>(V)) RaiseMismatch(V, kInt32Name);
  int64_t Wide = 0;
  try {
    Wide = ToInt64(V);
  } catch (const Exception&) {
    RaiseMismatch(V, kInt32Name);
  }
  if (Wide < std::numeric_limits<int32_t>::min() || Wide > std::numeric_limits<int32_t>::max()) {
    RaiseMismatch(V, kInt32Name);
  }
  return static_cast<int32_t>(Wide);
}

bool ToBool(const Value& V) {
  if (const auto* B = std::get_if<bool>(&V)) return *B;
  if (const auto* T = std::get_if<std::u16string>(&V)) {
    const std::u16string_view Word = WithoutBlanks(*T);
    if (EqualsIgnoringAsciiCase(Word, u"true")) return true;
    if (EqualsIgnoringAsciiCase(Word, u"false")) return false;
  }
  if (std::holds_alternative<ObjectRef>(V)) RaiseMismatch(V, u"a Boolean");
  try {
    return ToInt64(V) != 0;
  } catch (const Exception&) {
    RaiseMismatch(V, u"a Boolean");
  }
}

std::u16string ToText(const Value& V) {
  struct Converter {
    const Value& Whole;
    std::u16string operator()(std::monostate) const { return {}; }
    std::u16string operator()(int32_t N) const { return IntToText(N); }
    std::u16string operator()(int64_t N) const { return IntToText(N); }
    std::u16string operator()(bool B) const { return B ? u"True" : u"False"; }
    std::u16string operator()(const std::u16string& T) const { return T; }
    std::u16string operator()(const ObjectRef&) const { RaiseMismatch(Whole, u"a text"); }
  };
  return std::visit(Converter{V}, V);
}

ObjectRef ToObject(const Value& V) {
  const auto* O = std::get_if<ObjectRef>(&V);
  if (O == nullptr || !*O) RaiseMismatch(V, u"an object");
  return *O;
}

}  // namespace automation
