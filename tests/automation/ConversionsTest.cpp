#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <optional>

#include "platform/Automation.h"
#include "platform/Exception.h"
#include "platform/Text.h"

namespace {

using automation::ObjectRef;
using automation::Value;

// An object that only has to exist.
class Inert final : public automation::Object {
public:
  void Put(std::u16string_view, const Value&) override {}
  Value Get(std::u16string_view) override { return {}; }
  Value Call(std::u16string_view, std::span<automation::Argument>) override { return {}; }
};

// The converted value, or nothing when the conversion raised.
template <typename Convert>
auto Try(Convert Conversion, const Value& V) -> std::optional<decltype(Conversion(V))> {
  try {
    return Conversion(V);
  } catch (const Exception&) {
    return std::nullopt;
  }
}

constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();
constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();

TEST(AutomationConversions, FollowTheAutomationRules) {
  const auto None = std::nullopt;
  const ObjectRef Some = std::make_shared<Inert>();
  const struct {
    const char* Name;
    Value Input;
    std::optional<int32_t> Int32;
    std::optional<int64_t> Int64;
    std::optional<bool> Bool;
    std::optional<std::u16string> Text;
  } Cases[] = {
      {"Empty", Value{}, 0, 0, false, u""},
      {"int32", Value{int32_t{-7}}, -7, -7, true, u"-7"},
      {"int32 zero", Value{int32_t{0}}, 0, 0, false, u"0"},
      {"int64 in range", Value{int64_t{kInt32Min}}, static_cast<int32_t>(kInt32Min), kInt32Min, true, u"-2147483648"},
      {"int64 above int32", Value{int64_t{kInt32Max + 1}}, None, kInt32Max + 1, true, u"2147483648"},
      {"int64 below int32", Value{int64_t{kInt32Min - 1}}, None, kInt32Min - 1, true, u"-2147483649"},
      {"true", Value{true}, -1, -1, true, u"True"},
      {"false", Value{false}, 0, 0, false, u"False"},
      {"decimal text", Value{u"42"}, 42, 42, true, u"42"},
      {"signed text", Value{u"+5"}, 5, 5, true, u"+5"},
      {"blanks", Value{u" \t-12 \t"}, -12, -12, true, u" \t-12 \t"},
      {"zero text", Value{u"0"}, 0, 0, false, u"0"},
      {"int32 max text", Value{u"2147483647"}, static_cast<int32_t>(kInt32Max), kInt32Max, true, u"2147483647"},
      {"text above int32", Value{u"2147483648"}, None, kInt32Max + 1, true, u"2147483648"},
      {"int64 max text", Value{u"9223372036854775807"}, None, kInt64Max, true, u"9223372036854775807"},
      {"int64 min text", Value{u"-9223372036854775808"}, None, kInt64Min, true, u"-9223372036854775808"},
      {"text above int64", Value{u"9223372036854775808"}, None, None, None, u"9223372036854775808"},
      {"not a number", Value{u"abc"}, None, None, None, u"abc"},
      {"trailing letter", Value{u"12a"}, None, None, None, u"12a"},
      {"inner blank", Value{u"1 2"}, None, None, None, u"1 2"},
      {"fraction", Value{u"1.5"}, None, None, None, u"1.5"},
      {"double sign", Value{u"+-1"}, None, None, None, u"+-1"},
      {"sign alone", Value{u"-"}, None, None, None, u"-"},
      {"empty text", Value{u""}, None, None, None, u""},
      {"blanks only", Value{u"  "}, None, None, None, u"  "},
      {"full-width digit", Value{u"\uFF11"}, None, None, None, u"\uFF11"},
      {"True word", Value{u" TRUE "}, None, None, true, u" TRUE "},
      {"False word", Value{u"false"}, None, None, false, u"false"},
      {"object", Value{Some}, None, None, None, None},
      {"Nothing", Value{ObjectRef{}}, None, None, None, None},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(Try(automation::ToInt32, Case.Input), Case.Int32);
    EXPECT_EQ(Try(automation::ToInt64, Case.Input), Case.Int64);
    EXPECT_EQ(Try(automation::ToBool, Case.Input), Case.Bool);
    EXPECT_EQ(Try(automation::ToText, Case.Input), Case.Text);
  }
}

TEST(AutomationConversions, ObjectsOnlyFromObjects) {
  const ObjectRef Some = std::make_shared<Inert>();
  EXPECT_EQ(automation::ToObject(Value{Some}), Some);
  for (const Value& NotAnObject : {Value{}, Value{ObjectRef{}}, Value{int32_t{1}}, Value{u"x"}, Value{true}}) {
    EXPECT_THROW(automation::ToObject(NotAnObject), Exception);
  }
}

enum class Target { Int32, Int64, Bool, Text, Object };

void ConvertTo(Target T, const Value& V) {
  switch (T) {
    case Target::Int32: automation::ToInt32(V); break;
    case Target::Int64: automation::ToInt64(V); break;
    case Target::Bool: automation::ToBool(V); break;
    case Target::Text: automation::ToText(V); break;
    case Target::Object: automation::ToObject(V); break;
  }
}

TEST(AutomationConversions, MessagesNameTheValueAndTheTarget) {
  const struct {
    Value Input;
    Target To;
    std::u16string_view Message;
  } Cases[] = {
      {Value{u"abc"}, Target::Int32, u"Could not convert the text \"abc\" to a 32-bit integer"},
      {Value{int64_t{kInt32Max + 1}}, Target::Int32, u"Could not convert the number 2147483648 to a 32-bit integer"},
      {Value{u"99999999999999999999"}, Target::Int64,
       u"Could not convert the text \"99999999999999999999\" to a 64-bit integer"},
      {Value{ObjectRef(std::make_shared<Inert>())}, Target::Text, u"Could not convert an object to a text"},
      {Value{u"yes"}, Target::Bool, u"Could not convert the text \"yes\" to a Boolean"},
      {Value{true}, Target::Object, u"Could not convert the Boolean True to an object"},
      {Value{}, Target::Object, u"Could not convert Empty to an object"},
      {Value{ObjectRef{}}, Target::Object, u"Could not convert Nothing to an object"},
      {Value{std::u16string(100, u'7') + u"x"}, Target::Int64,
       u"Could not convert the text \"7777777777777777777777777777777777777777...\" to a 64-bit integer"},
  };
  for (const auto& Case : Cases) {
    try {
      ConvertTo(Case.To, Case.Input);
      ADD_FAILURE() << "no exception for " << ToUtf8(Case.Message);
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), Case.Message);
    }
  }
}

}  // namespace
