// Export tables, their registration, the property accessor and the method
// endings, on two small driver classes: a base with a property of every type
// kind and a derived class that adds its own exports.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <optional>
#include <string>

#include "dispatch/uCustomDriver.h"
#include "platform/Text.h"
#include "tests/bridge/FakeHost.h"
#include "tests/support/CommonSupport.h"

namespace {

using testsupport::FailureOf;

enum class TColour : uint8_t { Red, Green };

class TBaseDriver : public TCustomDriver {
public:
  static const TExportTable& Exports();
  const TExportTable& ObjectExports() const override { return Exports(); }

  bool Touch(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
    return RunGuarded(RetValue, [&] {
      ++Runs;
      V8SetInt(Params[1], V8AsInt(Params[0]) + 1);
    });
  }
  bool Fail(V8Variant* RetValue, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
    return RunGuarded(RetValue, [] { throw Exception(std::u16string(u"Нет связи")); });
  }
  // Public, but not exported.
  bool Hidden(V8Variant*, V8Variant*, int32_t, TV8AddInDefBaseEx*&) { return true; }

  int32_t GetCount() const { return Count; }
  void SetCount(int32_t Value) { Count = Value; }
  int64_t GetBig() const { return Big; }
  void SetBig(int64_t Value) { Big = Value; }
  double GetRate() const { return Rate; }
  void SetRate(double Value) { Rate = Value; }
  bool GetFlag() const { return Flag; }
  void SetFlag(bool Value) { Flag = Value; }
  std::u16string GetTitle() const { return Title; }
  void SetTitle(const std::u16string& Value) { Title = Value; }
  std::string GetNarrow() const { return Narrow; }
  void SetNarrow(std::string Value) { Narrow = std::move(Value); }
  TColour GetColour() const { return Colour; }
  void SetColour(TColour Value) { Colour = Value; }
  char16_t GetLetter() const { return Letter; }
  void SetLetter(char16_t Value) { Letter = Value; }
  std::u16string GetSerial() const { return u"SN-1"; }
  int32_t GetLocked() const { return Locked; }
  void SetLocked(int32_t Value) { Locked = Value; }

  int Runs = 0;
  int32_t Count = 0;
  int64_t Big = 0;
  double Rate = 0;
  bool Flag = false;
  std::u16string Title;
  std::string Narrow;
  TColour Colour = TColour::Red;
  char16_t Letter = u'a';
  int32_t Locked = 7;
};

const TExportTable& TBaseDriver::Exports() {
  static constexpr TExportMethod Methods[] = {
      ORVEX_EXPORT_METHOD(TBaseDriver, Touch, u"Тронуть", 2, exports::Secrets(1)),
      ORVEX_EXPORT_METHOD(TBaseDriver, Fail, u"Сбой", 0),
  };
  static constexpr TExportProp Props[] = {
      ORVEX_EXPORT_PROPERTY(TBaseDriver, Count, u"Количество", u"Кол-во", u"0", false),
      ORVEX_EXPORT_PROPERTY(TBaseDriver, Big, u"Большое", u"", u"", false),
      ORVEX_EXPORT_PROPERTY(TBaseDriver, Rate, u"Курс", u"", u"", false),
      ORVEX_EXPORT_PROPERTY(TBaseDriver, Flag, u"Флаг", u"", u"", false),
      ORVEX_EXPORT_PROPERTY(TBaseDriver, Title, u"Заголовок", u"", u"", false),
      ORVEX_EXPORT_PROPERTY(TBaseDriver, Narrow, u"Узкий", u"", u"", false),
      ORVEX_EXPORT_PROPERTY(TBaseDriver, Colour, u"Цвет", u"", u"", false),
      ORVEX_EXPORT_PROPERTY(TBaseDriver, Letter, u"Буква", u"", u"", false),
      ORVEX_EXPORT_READONLY_PROPERTY(TBaseDriver, Serial, u"Серийный", u"", u""),
      ORVEX_EXPORT_PROPERTY(TBaseDriver, Locked, u"Закрытый", u"", u"", true),
  };
  static const TExportTable Table{&TCustomDriver::Exports(), Methods, Props, {}};
  return Table;
}

class TDerivedDriver : public TBaseDriver {
public:
  static const TExportTable& Exports();
  const TExportTable& ObjectExports() const override { return Exports(); }

  bool Extra(V8Variant* RetValue, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
    return RunGuarded(RetValue, [] {});
  }
  int32_t GetLevel() const { return Level; }
  void SetLevel(int32_t Value) { Level = Value; }
  int32_t Level = 0;
};

const TExportTable& TDerivedDriver::Exports() {
  static constexpr TExportMethod Methods[] = {
      ORVEX_EXPORT_METHOD(TDerivedDriver, Extra, u"Дополнительно", 1, exports::CardNumbers(0))};
  static constexpr TExportProp Props[] = {
      ORVEX_EXPORT_PROPERTY(TDerivedDriver, Level, u"Уровень", u"Уровень", u"1", false)};
  static const TExportTable Table{&TBaseDriver::Exports(), Methods, Props, {}};
  return Table;
}

const TClassReg& DerivedClass() {
  static const TClassReg& Class = TCustomDriver::RegisterClass<TDerivedDriver>(u"DispatchDerived");
  return Class;
}

// A driver object with a host memory manager and value records that are
// released at the end.
class Dispatch : public ::testing::Test {
protected:
  Dispatch() { Driver.V8MM = &Memory; }
  ~Dispatch() override {
    for (V8Variant& Record : Records) V8ClearVar(&Memory, Record);
  }
  V8Variant& Record() { return Records.emplace_back(V8Variant{}); }
  template <class Writer, class T>
  V8Variant& Written(Writer Write, T Value) {
    V8Variant& R = Record();
    Write(&Memory, R, Value);
    return R;
  }
  V8Variant& Text(std::u16string_view Value) { return Written(&::V8SetWString, Value); }
  V8Variant& Int(int32_t Value) { return Written(&::V8SetInt, Value); }
  V8Variant& Double(double Value) { return Written(&::V8SetDouble, Value); }
  V8Variant& Bool(bool Value) { return Written(&::V8SetBool, Value); }

  CountingMemoryManager Memory;
  TDerivedDriver Driver;
  std::deque<V8Variant> Records;
};

TEST_F(Dispatch, RegistrationNumbersTheDerivedExportsFirst) {
  const TClassReg& Class = DerivedClass();
  EXPECT_EQ(Class.NatApiClassName, u"DispatchDerived");
  EXPECT_EQ(Class.RegisterExtensionAs, u"DispatchDerived");
  const struct {
    const char16_t* Name;
    const char16_t* NameLoc;
    int32_t ParamCount;
    TParamMarks Marks;
  } Methods[] = {
      {u"Extra", u"Дополнительно", 1, {0b1, 0}}, {u"Touch", u"Тронуть", 2, {0, 0b10}}, {u"Fail", u"Сбой", 0, {}}};
  ASSERT_EQ(Class.MethCount(), static_cast<int32_t>(std::size(Methods)));
  for (int32_t I = 0; I < Class.MethCount(); ++I) {
    const TMethReg& Method = *Class.Method(I);
    EXPECT_EQ(Method.MethName, Methods[I].Name);
    EXPECT_EQ(Method.MethNameLoc, Methods[I].NameLoc);
    EXPECT_EQ(Method.ParamCount, Methods[I].ParamCount);
    EXPECT_EQ(Method.Marks.CardNumbers, Methods[I].Marks.CardNumbers) << ToUtf8(Method.MethName);
    EXPECT_EQ(Method.Marks.Secrets, Methods[I].Marks.Secrets) << ToUtf8(Method.MethName);
    EXPECT_TRUE(Method.IsFunction);
  }
  EXPECT_EQ(Class.FindMethod(u"Hidden"), -1);
  const struct {
    const char16_t* Name;
    bool Writable;
  } Props[] = {{u"Level", true},  {u"Count", true},   {u"Big", true},    {u"Rate", true},
               {u"Flag", true},   {u"Title", true},   {u"Narrow", true}, {u"Colour", true},
               {u"Letter", true}, {u"Serial", false}, {u"Locked", false}};
  ASSERT_EQ(Class.PropCount(), static_cast<int32_t>(std::size(Props)));
  for (int32_t I = 0; I < Class.PropCount(); ++I) {
    const TPropReg& Prop = *Class.Prop(I);
    EXPECT_EQ(Prop.PropName, Props[I].Name);
    EXPECT_TRUE(Prop.IsReadable);
    EXPECT_EQ(Prop.IsWritable, Props[I].Writable) << ToUtf8(Prop.PropName);
  }
}

TEST_F(Dispatch, TheRegistryCreatesObjectsOfTheRegisteredClass) {
  const std::unique_ptr<TV8UserObject> Object = DerivedClass().UserClass();
  ASSERT_NE(dynamic_cast<TDerivedDriver*>(Object.get()), nullptr);
}

TEST_F(Dispatch, ReadingGivesTheHostTypeOfEachKind) {
  Driver.Count = -3;
  Driver.Big = 0x100000005;  // the host receives the low 32 bits
  Driver.Rate = 2.5;
  Driver.Flag = true;
  Driver.Title = u"Касса";
  Driver.Narrow = "Kasse";
  const struct {
    const char16_t* Name;
    uint16_t Type;
    double Number;  // integers and numbers; a Boolean's byte
    std::u16string Text;
  } Cases[] = {
      {u"Count", VTYPE_I4, -3, u""},        {u"Big", VTYPE_I4, 5, u""},           {u"Rate", VTYPE_R8, 2.5, u""},
      {u"Flag", VTYPE_BOOL, 1, u""},        {u"Title", VTYPE_PWSTR, 0, u"Касса"}, {u"Narrow", VTYPE_PWSTR, 0, u"Kasse"},
      {u"serial", VTYPE_PWSTR, 0, u"SN-1"}, {u"УРОВЕНЬ", VTYPE_I4, 0, u""},
  };
  for (const auto& Case : Cases) {
    V8Variant& Value = Record();
    ASSERT_TRUE(Driver.PropertyGetSet(Case.Name, Value, true)) << ToUtf8(Case.Name);
    EXPECT_EQ(Value.vt, Case.Type) << ToUtf8(Case.Name);
    if (Case.Type == VTYPE_PWSTR) {
      EXPECT_EQ(V8AsWString(Value), Case.Text);
    } else if (Case.Type == VTYPE_BOOL) {
      EXPECT_EQ(Value.bVal, Case.Number != 0);
    } else {
      EXPECT_EQ(V8AsDouble(Value), Case.Number) << ToUtf8(Case.Name);
    }
  }
}

TEST_F(Dispatch, WritingConvertsTheHostValue) {
  struct Case {
    const char16_t* Name;
    V8Variant* Value;
    std::u16string Failure;
  };
  V8Variant TitleWithNul = Text(std::u16string(u"ab\0cd", 5));
  const Case Cases[] = {
      {u"Count", &Text(u"12"), u""},
      {u"Rate", &Int(3), u""},
      {u"Flag", &Int(1), u""},
      {u"Title", &TitleWithNul, u""},
      {u"Narrow", &Text(u"Зал"), u""},
      {u"Title", &Int(5), u"Value type unacceptable"},
      {u"Colour", &Int(1), u"Property type unacceptable"},
      {u"Letter", &Text(u"b"), u"Property type unacceptable"},
      {u"Serial", &Text(u"X"), u"Property is read-only: Serial"},
      {u"Locked", &Int(1), u"Property is read-only: Locked"},
      {u"Missing", &Int(1), u"Property not found: Missing"},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(FailureOf([&] { Driver.PropertySet(C.Name, *C.Value); }), C.Failure) << ToUtf8(C.Name);
  }
  EXPECT_EQ(Driver.Count, 12);
  EXPECT_EQ(Driver.Rate, 3.0);
  EXPECT_TRUE(Driver.Flag);
  EXPECT_EQ(Driver.Title, u"ab");
  EXPECT_EQ(Driver.Narrow, "Зал");
  EXPECT_EQ(Driver.Colour, TColour::Red);
  EXPECT_EQ(Driver.Locked, 7);
}

TEST_F(Dispatch, IntegerPropertiesTakeTheHostsConversions) {
  const struct {
    V8Variant* Value;
    int32_t Stored;
  } Cases[] = {{&Double(12.7), 12}, {&Text(u"abc"), 0}, {&Text(u" -40 "), -40}};
  for (const auto& Case : Cases) {
    Driver.PropertySet(u"Count", *Case.Value);
    EXPECT_EQ(Driver.Count, Case.Stored);
  }
}

TEST_F(Dispatch, ReadingAPropertyWithoutConversionFails) {
  for (const char16_t* Name : {u"Colour", u"Letter"}) {
    EXPECT_EQ(FailureOf([&] { Driver.PropertyGetSet(Name, Record(), true); }), u"Property type unacceptable");
  }
}

// The accessor ignores letter case in both languages; the host's own look-up
// by number does not.
TEST_F(Dispatch, NamesMatchInEitherLanguageAndAnyLetterCase) {
  const std::pair<const char16_t*, int32_t> Cases[] = {
      {u"count", 1}, {u"COUNT", 2}, {u"Количество", 3}, {u"КОЛИЧЕСТВО", 4}, {u"количество", 5}};
  for (const auto& [Name, Value] : Cases) {
    Driver.PropertySet(Name, Int(Value));
    EXPECT_EQ(Driver.Count, Value) << ToUtf8(Name);
  }
  EXPECT_EQ(DerivedClass().FindProp(u"КОЛИЧЕСТВО"), -1);
  EXPECT_EQ(DerivedClass().FindProp(u"Количество"), 1);
}

TEST_F(Dispatch, MethodsEndWithTheirResult) {
  const TClassReg& Class = DerivedClass();
  TV8AddInDefBaseEx* Connection = nullptr;
  V8Variant& Ret = Record();
  V8Variant Params[2] = {};
  V8SetInt(&Memory, Params[0], 41);
  ASSERT_TRUE(Class.Method(Class.FindMethod(u"Touch"))->ExecuteFunc(Driver, &Ret, Params, 2, Connection));
  EXPECT_EQ(Ret.vt, VTYPE_BOOL);
  EXPECT_TRUE(Ret.bVal);
  EXPECT_EQ(V8AsInt(Params[1]), 42);
  EXPECT_TRUE(Driver.LastResult().BoolResult);

  ASSERT_TRUE(Class.Method(Class.FindMethod(u"Сбой"))->ExecuteFunc(Driver, &Ret, nullptr, 0, Connection));
  EXPECT_FALSE(Ret.bVal);
  EXPECT_EQ(Driver.LastResult().ErrorCode, 1001);
  EXPECT_EQ(Driver.LastResult().ErrorDescription, u"Нет связи");
}

// A malformed host call never reaches the method, which would read past the array.
TEST_F(Dispatch, ACallWithTooFewParametersFailsBeforeTheMethodRuns) {
  const TMethReg& Touch = *DerivedClass().Method(DerivedClass().FindMethod(u"Touch"));
  TV8AddInDefBaseEx* Connection = nullptr;
  V8Variant Params[1] = {};
  const struct {
    V8Variant* Params;
    int32_t Count;
  } Cases[] = {{Params, 1}, {Params, 0}, {nullptr, 2}, {Params, -1}};
  for (const auto& Case : Cases) {
    V8Variant& Ret = Bool(true);
    EXPECT_TRUE(Touch.ExecuteFunc(Driver, &Ret, Case.Params, Case.Count, Connection));
    EXPECT_FALSE(Ret.bVal);
    EXPECT_EQ(Driver.LastResult().GetIntResult(), 1001);
    EXPECT_NE(Driver.LastResult().ErrorDescription.find(u"Too few parameters"), std::u16string::npos);
  }
  EXPECT_EQ(Driver.Runs, 0);
}

TEST_F(Dispatch, TheLastResultReportsTheCodeOfTheFailure) {
  const struct {
    std::optional<int32_t> FailureCode;  // none: a success
    int32_t Reported;
  } Cases[] = {{0, 1001}, {1001, 1001}, {4501, 4501}, {std::nullopt, 0}};
  for (const auto& Case : Cases) {
    if (Case.FailureCode) {
      Driver.SetExceptionResult(u"сбой", nullptr, *Case.FailureCode);
      EXPECT_EQ(Driver.LastResult().ErrorDescription, u"сбой");
    } else {
      Driver.SetSuccessResult(nullptr);
      EXPECT_EQ(Driver.LastResult().ErrorDescription, u"");
    }
    EXPECT_EQ(Driver.LastResult().GetIntResult(), Case.Reported);
  }
}

TEST(ValueKind, NamesEachKindAndRefusesOthers) {
  const std::pair<int, const char16_t*> Cases[] = {{0, u"String"}, {1, u"Number"}, {2, u"Boolean"}, {3, u"Unknown"}};
  for (const auto& [Kind, Name] : Cases) EXPECT_EQ(ValueKindToStr(static_cast<TValueKind>(Kind)), Name);
  try {
    ValueKindToStr(static_cast<TValueKind>(4));
    ADD_FAILURE() << "no failure";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), u"Enum value unacceptable");
  }
}

TEST(ValueKind, FollowsThePropertyType) {
  static_assert(exports::ValueKindOf<int32_t>() == TValueKind::vkNumber);
  static_assert(exports::ValueKindOf<double>() == TValueKind::vkNumber);
  static_assert(exports::ValueKindOf<bool>() == TValueKind::vkBoolean);
  static_assert(exports::ValueKindOf<char16_t>() == TValueKind::vkString);
  static_assert(exports::ValueKindOf<std::u16string>() == TValueKind::vkString);
  static_assert(exports::ValueKindOf<TColour>() == TValueKind::vkUnknown);
  SUCCEED();
}

TEST(ModuleVersion, AProgramWithoutVersionGivesFourZeros) {
  EXPECT_EQ(ModuleVersionText(std::u16string_view()), u"0.0.0.0");
  EXPECT_EQ(ModuleVersionText(ModuleFileName()), u"0.0.0.0");
}

}  // namespace
