// Method calls and property access through the tables: values in and out,
// the failure path, values without a text form, numbers out of range, and
// components without a memory manager or connection.
#include <limits>

#include "tests/support/HostTestSupport.h"
#include "tools/v8host/HostFailure.h"

namespace hosttest {
namespace {

class HostCalls : public HostSession {};

TEST_F(HostCalls, ValuesTravelBothWays) {
  Component& Object = Open();
  const struct {
    const char16_t* Method;
    Values Args;
    std::optional<HostValue> Return;
    Values Params;  // after the call
  } Cases[] = {
      {u"Echo", {Text(u"héllo, мир")}, Text(u"héllo, мир"), {Text(u"héllo, мир")}},
      {u"Echo", {Text(u"")}, Text(u""), {Text(u"")}},
      {u"Echo", {int32_t{-5}}, int32_t{-5}, {int32_t{-5}}},
      {u"Echo", {int64_t{9000000000}}, int64_t{9000000000}, {int64_t{9000000000}}},
      {u"Echo", {1.5}, 1.5, {1.5}},
      {u"Echo", {true}, true, {true}},
      {u"Echo", {HostDate{45356.5}}, HostDate{45356.5}, {HostDate{45356.5}}},
      {u"Echo", {std::monostate{}}, std::monostate{}, {std::monostate{}}},
      // a missing parameter gets its default
      {u"Echo", {}, Text(u"по умолчанию"), {Text(u"по умолчанию")}},
      {u"Add", {int32_t{5}}, int32_t{12}, {int32_t{5}, int32_t{7}}},
      {u"Сложить", {int32_t{5}, int32_t{-6}}, int32_t{-1}, {int32_t{5}, int32_t{-6}}},
      {u"Add", {Text(u"40"), int32_t{2}}, int32_t{42}, {Text(u"40"), int32_t{2}}},
      {u"Greeting", {}, Text(u"Привет, мир"), {}},
      // outputs replace the host's own values, text included
      {u"WriteOutputs", {Text(u"in"), std::monostate{}}, true, {Text(u"выход"), int32_t{42}, true}},
      // a procedure has no return value
      {u"Remember", {Text(u"note")}, std::nullopt, {Text(u"note")}},
  };
  for (const auto& Case : Cases) {
    const CallOutcome Outcome = Object.Call(Case.Method, Case.Args);
    EXPECT_TRUE(Outcome.Ok) << ToUtf8(Case.Method);
    EXPECT_EQ(Outcome.Return, Case.Return) << ToUtf8(Case.Method);
    EXPECT_EQ(Outcome.Params, Case.Params) << ToUtf8(Case.Method);
    EXPECT_TRUE(Outcome.Errors.empty()) << ToUtf8(Case.Method);
  }
  EXPECT_EQ(Object.GetProperty(Prop(u"Remembered")).Return, Text(u"note"));
}

TEST_F(HostCalls, MoreArgumentsThanParametersAreRefusedByTheHost) {
  Component& Object = Open();
  try {
    Object.Call(u"Greeting", {int32_t{1}});
    ADD_FAILURE() << "called";
  } catch (const HostFailure& Failure) {
    EXPECT_EQ(Failure.Kind(), FailureKind::BadArgument);
  }
  EXPECT_EQ(CallCount(), 0);
}

TEST_F(HostCalls, AnExceptionReachesTheHostThroughAddError) {
  Component& Object = Open();
  const CallOutcome Outcome = Object.Call(u"Fail", {Text(u"Нет связи с терминалом")});
  EXPECT_FALSE(Outcome.Ok);
  const HostError Error = OnlyError(Outcome);
  EXPECT_EQ(Error.Code, 1006);
  EXPECT_EQ(Error.Source, u"Внешняя компонента");
  EXPECT_EQ(Error.Description, u"Нет связи с терминалом");
  EXPECT_EQ(Error.Status, kFailStatus);
  EXPECT_LT(Error.Status, 0) << "E_FAIL must arrive sign-extended, not as 2147500037";
}

// Values without a text form stop the call before the method runs.
TEST_F(HostCalls, ParametersWithoutTextFormAreRefusedBeforeTheMethodRuns) {
  Component& Object = Open();
  const struct {
    uint16_t Type;
    const char16_t* Name;
  } Cases[] = {
      {VTYPE_R4, u"VTYPE_R4"},
      {VTYPE_I2, u"VTYPE_I2"},
      {VTYPE_NULL, u"VTYPE_NULL"},
      {VTYPE_PSTR, u"VTYPE_PSTR"},
      {VTYPE_I4 | VTYPE_BYREF, u"VTYPE_I4 by ref"},
      {VTYPE_PWSTR | VTYPE_VECTOR, u"VTYPE_PWSTR vector"},
  };
  for (const auto& Case : Cases) {
    const CallOutcome Outcome = Object.Call(u"Add", {int32_t{1}, HostOther{Case.Type}});
    EXPECT_FALSE(Outcome.Ok) << ToUtf8(Case.Name);
    const HostError Error = OnlyError(Outcome);
    EXPECT_EQ(Error.Code, 1006);
    EXPECT_EQ(Error.Description, u"Unsupported data type - " + std::u16string(Case.Name));
    EXPECT_EQ(Error.Status, kFailStatus);
  }
  EXPECT_EQ(CallCount(), 0);
}

TEST_F(HostCalls, AnOutputWithoutTextFormFailsTheCompletedCall) {
  Component& Object = Open();
  const CallOutcome Outcome = Object.Call(u"WriteSingle", {int32_t{0}});
  EXPECT_FALSE(Outcome.Ok);
  EXPECT_NE(OnlyError(Outcome).Description.find(u"VTYPE_R4"), std::u16string::npos);
  EXPECT_EQ(Outcome.Params, Values{HostOther{VTYPE_R4}});
  EXPECT_EQ(CallCount(), 1);
}

TEST_F(HostCalls, MalformedCallsEndOnTheFailurePathNotInACrash) {
  Component& Object = Open();
  const HostLong Add = Method(u"Add");
  // fewer records than parameters
  const CallOutcome Short = Object.CallWithCount(Add, {int32_t{1}});
  EXPECT_FALSE(Short.Ok);
  EXPECT_EQ(OnlyError(Short).Code, 1006);

  V8Variant Return;
  ZeroRecord(Return);
  EXPECT_FALSE(Object.Extender().CallAsFunc(Object.ExtenderInterface(), Add, &Return, nullptr, 2));
  EXPECT_FALSE(Object.Extender().CallAsFunc(Object.ExtenderInterface(), Add, &Return, nullptr, -3));
  EXPECT_EQ(Return.vt, VTYPE_EMPTY);
}

TEST_F(HostCalls, AProcedureCallOfAFunctionDropsItsReturnValue) {
  Component& Object = Open();
  EXPECT_TRUE(Object.Extender().CallAsProc(Object.ExtenderInterface(), Method(u"Greeting"), nullptr, 0));
  EXPECT_EQ(CallCount(), 1);  // and the session's end finds no block left over
}

TEST_F(HostCalls, NumbersOutsideTheCountsAreRefused) {
  Component& Object = Open();
  const TLanguageExtenderOps& Ops = Object.Extender();
  void* Self = Object.ExtenderInterface();
  for (const HostLong Number : {HostLong{-1}, HostLong{10}, HostLong{1000}, std::numeric_limits<HostLong>::max(),
                                std::numeric_limits<HostLong>::min()}) {
    SCOPED_TRACE(Number);
    V8Variant Record;
    ZeroRecord(Record);
    EXPECT_EQ(Ops.GetMethodName(Self, Number, 0), nullptr);
    EXPECT_EQ(Ops.GetNParams(Self, Number), 0);
    EXPECT_FALSE(Ops.HasRetVal(Self, Number));
    EXPECT_FALSE(Ops.GetParamDefValue(Self, Number, 0, &Record));
    EXPECT_FALSE(Ops.CallAsFunc(Self, Number, &Record, nullptr, 0));
    EXPECT_FALSE(Ops.CallAsProc(Self, Number, nullptr, 0));
    EXPECT_EQ(Ops.GetPropName(Self, Number, 1), nullptr);
    EXPECT_FALSE(Ops.IsPropReadable(Self, Number));
    EXPECT_FALSE(Ops.IsPropWritable(Self, Number));
    EXPECT_FALSE(Ops.GetPropVal(Self, Number, &Record));
    EXPECT_FALSE(Ops.SetPropVal(Self, Number, &Record));
    EXPECT_EQ(Record.vt, VTYPE_EMPTY);
  }
  EXPECT_TRUE(Connection.Errors.empty());
}

TEST_F(HostCalls, PropertiesReadAndWrite) {
  Component& Object = Open();
  const struct {
    const char16_t* Name;
    HostValue Written;
    HostValue Read;
  } Cases[] = {
      {u"Counter", int32_t{5}, int32_t{5}},
      {u"Счётчик", Text(u"-17"), int32_t{-17}},
      {u"Title", Text(u"Касса №1"), Text(u"Касса №1")},
      {u"Заголовок", int32_t{3}, Text(u"")},
  };
  for (const auto& Case : Cases) {
    const HostLong Number = Prop(Case.Name);
    EXPECT_TRUE(Object.SetProperty(Number, Case.Written).Ok) << ToUtf8(Case.Name);
    const CallOutcome Read = Object.GetProperty(Number);
    EXPECT_TRUE(Read.Ok);
    EXPECT_EQ(Read.Return, Case.Read) << ToUtf8(Case.Name);
  }
  EXPECT_EQ(Object.GetProperty(Prop(u"Version")).Return, Text(u"1.0"));
}

TEST_F(HostCalls, AnAccessorThatRefusesReachesTheHostThroughAddError) {
  Component& Object = Open();
  const struct {
    const char16_t* Name;
    bool Write;
    const char16_t* Message;
  } Cases[] = {
      {u"Version", true, u"The property Version is read-only"},
      // the accessor is given the English name whichever name the host used
      {u"Версия", true, u"The property Version is read-only"},
      {u"Sink", false, u"The property Sink is write-only"},
  };
  for (const auto& Case : Cases) {
    const HostLong Number = Prop(Case.Name);
    const CallOutcome Outcome =
        Case.Write ? Object.SetPropertyRaw(Number, Text(u"2.0")) : Object.GetPropertyRaw(Number);
    EXPECT_FALSE(Outcome.Ok);
    const HostError Error = OnlyError(Outcome);
    EXPECT_EQ(Error.Code, 1006);
    EXPECT_EQ(Error.Source, u"Внешняя компонента");
    EXPECT_EQ(Error.Description, Case.Message);
    EXPECT_EQ(Error.Status, kFailStatus);
  }
}

// A host without memory for the component: names and texts cannot be handed
// over, but nothing crashes and failures still arrive.
class HostWithoutMemory : public HostSession, public ::testing::WithParamInterface<bool> {
protected:
  Component& OpenStarved() {
    const bool GiveMemory = GetParam();
    Memory.RefuseAllocations = GiveMemory;
    return Open(u"Fixture", true, GiveMemory);
  }
};

TEST_P(HostWithoutMemory, NamesAreNullAndCallsStillAnswer) {
  Component& Object = OpenStarved();
  V8Char Sentinel[] = u"x";
  V8Char* Extension = Sentinel;
  EXPECT_TRUE(Object.Extender().RegisterExtensionAs(Object.ExtenderInterface(), &Extension));
  EXPECT_EQ(Extension, nullptr);
  EXPECT_EQ(Object.MethodName(0, 0), std::nullopt);
  EXPECT_EQ(Object.PropName(0, 1), std::nullopt);

  const CallOutcome Greeting = Object.Call(u"Greeting", {});
  EXPECT_TRUE(Greeting.Ok);
  EXPECT_EQ(Greeting.Return, Text(u""));

  const CallOutcome Failed = Object.Call(u"Fail", {Text(u"boom")});
  EXPECT_FALSE(Failed.Ok);
  EXPECT_EQ(OnlyError(Failed).Code, 1006);
  EXPECT_EQ(OnlyError(Failed).Status, kFailStatus);
}

INSTANTIATE_TEST_SUITE_P(NoneOrRefusing, HostWithoutMemory, ::testing::Values(false, true),
                         [](const auto& Info) { return Info.param ? "Refusing" : "None"; });

TEST_F(HostCalls, WithoutAConnectionAFailureOnlyAnswersFalse) {
  Component& Object = Open(u"Fixture", false, true);
  EXPECT_FALSE(Object.Call(u"Fail", {Text(u"boom")}).Ok);
  EXPECT_TRUE(Connection.Errors.empty());
}

}  // namespace
}  // namespace hosttest
