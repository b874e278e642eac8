#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "bridge/v8napi.h"
#include "logging/Common.Log.h"
#include "platform/Exception.h"
#include "tests/bridge/FakeHost.h"

// Counts heap allocations while a test asks for it.
namespace {
std::atomic<bool> CountingHeap{false};
std::atomic<int> HeapAllocations{0};
}  // namespace

void* operator new(std::size_t Size) {
  if (CountingHeap) ++HeapAllocations;
  if (void* Block = std::malloc(Size == 0 ? 1 : Size)) return Block;
  throw std::bad_alloc();
}
void operator delete(void* Block) noexcept { std::free(Block); }
void operator delete(void* Block, std::size_t) noexcept { std::free(Block); }

namespace {

struct TestDriver : TV8UserObject {
  static inline int Destroyed = 0;
  static inline int Runs = 0;
  ~TestDriver() override { ++Destroyed; }
};

bool Echo(TV8UserObject& Self, V8Variant* Ret, V8Variant* Params, int32_t Count, TV8AddInDefBaseEx*&) {
  ++TestDriver::Runs;
  Self.V8SetWString(*Ret, u"done");
  if (Count > 0) Self.V8SetInt(Params[0], 5);
  return true;
}

bool ReturnTrue(TV8UserObject& Self, V8Variant* Ret, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  ++TestDriver::Runs;
  Self.V8SetBool(*Ret, true);
  return true;
}

bool Fail(TV8UserObject&, V8Variant*, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  throw Exception(std::u16string(u"Сбой"));
}

bool OutputWithoutText(TV8UserObject&, V8Variant* Ret, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  ++TestDriver::Runs;
  Ret->vt = VTYPE_EMPTY;
  Params[0].vt = VTYPE_R4;
  return true;
}

bool RefuseWrite(TV8UserObject& Self, const std::u16string&, V8Variant* Value, bool Get, TV8AddInDefBaseEx*&) {
  if (!Get) throw Exception(std::u16string(u"Property is read only"));
  Self.V8SetInt(*Value, 1);
  return true;
}

enum Table { InitDone = 0, LanguageExtender = 1, Locale = 2 };

class ComponentTest : public ::testing::Test {
protected:
  void SetUp() override {
    TestDriver::Destroyed = 0;
    TestDriver::Runs = 0;
    Class.UserClass = [] { return std::unique_ptr<TV8UserObject>(new TestDriver); };
    Class.RegisterExtensionAs = u"a_orvextx1c83n";
    Class.AddFunc(u"Echo", u"Эхо", &Echo, 1);
    Class.AddFunc(u"ReturnTrue", u"ВернутьИстину", &ReturnTrue, 2);
    Class.AddFunc(u"Fail", u"Сбой", &Fail, 0);
    Class.AddFunc(u"OutputWithoutText", u"ВыходБезТекста", &OutputWithoutText, 1);
    Class.AddProp(u"Value", u"Значение", true, true, &RefuseWrite);
    Class.MethList[0]->DefParams.AddWString(u"def", 1);
    Component = CreateComponentObject(Class);
    ASSERT_NE(Component, nullptr);
    ASSERT_TRUE(InitDoneOps().Init(Interface(InitDone), static_cast<TV8AddInDefBaseEx*>(&Connection)));
    ASSERT_TRUE(InitDoneOps().setMemManager(Interface(InitDone), static_cast<TV8MemoryManager*>(&Memory)));
  }
  void TearDown() override {
    DestroyComponentObject(Component);
    EXPECT_TRUE(Memory.Live.empty()) << "host blocks left allocated";
    EXPECT_EQ(Memory.BadFrees, 0);
  }

  void* Interface(Table T) { return reinterpret_cast<void**>(Component) + T; }
  template <class Ops>
  const Ops& OpsOf(Table T) {
    return **static_cast<const Ops* const*>(Interface(T));
  }
  const TInitDoneOps& InitDoneOps() { return OpsOf<TInitDoneOps>(InitDone); }
  const TLanguageExtenderOps& Ext() { return OpsOf<TLanguageExtenderOps>(LanguageExtender); }
  void* ExtSelf() { return Interface(LanguageExtender); }

  bool CallFunc(const char16_t* Name, V8Variant& Ret, V8Variant* Params, HostLong Count) {
    return Ext().CallAsFunc(ExtSelf(), Ext().FindMethod(ExtSelf(), Name), &Ret, Params, Count);
  }
  void Release(V8Variant& V) { V8ClearVar(&Memory, V); }

  TClassReg Class;
  ComponentObject* Component = nullptr;
  CountingMemoryManager Memory;
  RecordingConnection Connection;
};

}  // namespace

TEST_F(ComponentTest, AnswersTheInitDoneAndExtensionQueries) {
  EXPECT_EQ(InitDoneOps().GetInfo(Interface(InitDone)), 2000);
  V8Char* Name = nullptr;
  ASSERT_TRUE(Ext().RegisterExtensionAs(ExtSelf(), &Name));
  EXPECT_EQ(std::u16string(Name), u"a_orvextx1c83n");
  EXPECT_EQ(Memory.AllocSizes.back(), 30u);
  V8FreeMemory(&Memory, Name);

  const V8Char* English = Ext().GetMethodName(ExtSelf(), 1, 0);
  const V8Char* Russian = Ext().GetMethodName(ExtSelf(), 1, 1);
  EXPECT_EQ(std::u16string(English), u"ReturnTrue");
  EXPECT_EQ(std::u16string(Russian), u"ВернутьИстину");
  V8FreeMemory(&Memory, const_cast<V8Char*>(English));
  V8FreeMemory(&Memory, const_cast<V8Char*>(Russian));
  EXPECT_EQ(Ext().GetNParams(ExtSelf(), 1), 2);
  EXPECT_TRUE(Ext().HasRetVal(ExtSelf(), 1));

  Memory.Refuse = true;
  EXPECT_EQ(Ext().GetPropName(ExtSelf(), 0, 0), nullptr);
  Name = reinterpret_cast<V8Char*>(&Name);
  EXPECT_TRUE(Ext().RegisterExtensionAs(ExtSelf(), &Name)) << "true even without a copy";
  EXPECT_EQ(Name, nullptr);
}

TEST_F(ComponentTest, NumbersOutsideTheCountsAreRefused) {
  V8Variant Value{};
  for (const HostLong Number : {HostLong{-1}, HostLong{5}, HostLong{1} << 20}) {
    EXPECT_FALSE(Ext().CallAsFunc(ExtSelf(), Number, &Value, nullptr, 0));
    EXPECT_FALSE(Ext().CallAsProc(ExtSelf(), Number, nullptr, 0));
    EXPECT_FALSE(Ext().GetPropVal(ExtSelf(), Number, &Value));
    EXPECT_FALSE(Ext().SetPropVal(ExtSelf(), Number, &Value));
    EXPECT_FALSE(Ext().IsPropReadable(ExtSelf(), Number));
    EXPECT_FALSE(Ext().IsPropWritable(ExtSelf(), Number));
    EXPECT_FALSE(Ext().HasRetVal(ExtSelf(), Number));
    EXPECT_EQ(Ext().GetNParams(ExtSelf(), Number), 0);
    EXPECT_EQ(Ext().GetMethodName(ExtSelf(), Number, 0), nullptr);
    EXPECT_EQ(Ext().GetPropName(ExtSelf(), Number, 1), nullptr);
    EXPECT_FALSE(Ext().GetParamDefValue(ExtSelf(), Number, 0, &Value));
  }
  EXPECT_EQ(Ext().FindMethod(ExtSelf(), nullptr), -1);
  EXPECT_EQ(Ext().FindProp(ExtSelf(), nullptr), -1);
  EXPECT_TRUE(Connection.Errors.empty());
}

TEST_F(ComponentTest, AProcedureCallOfAFunctionReleasesItsScratchResult) {
  V8Variant Param{};
  ASSERT_TRUE(Ext().CallAsProc(ExtSelf(), 0, &Param, 1));
  EXPECT_EQ(TestDriver::Runs, 1);
  EXPECT_EQ(Param.vt, VTYPE_I4);
  EXPECT_EQ(Param.lVal, 5);
}

TEST_F(ComponentTest, FailuresReachTheHostThroughAddError) {
  V8Variant Ret{};
  EXPECT_FALSE(CallFunc(u"Fail", Ret, nullptr, 0));
  ASSERT_EQ(Connection.Errors.size(), 1u);
  EXPECT_EQ(Connection.Errors[0].Code, 1006u);
  EXPECT_EQ(Connection.Errors[0].Source, u"Внешняя компонента");
  EXPECT_EQ(Connection.Errors[0].Description, u"Сбой");
  EXPECT_EQ(Connection.Errors[0].Status, static_cast<HostLong>(static_cast<int32_t>(0x80004005u)));

  V8Variant Value{};
  EXPECT_FALSE(Ext().SetPropVal(ExtSelf(), 0, &Value));
  ASSERT_EQ(Connection.Errors.size(), 2u);
  EXPECT_EQ(Connection.Errors[1].Description, u"Property is read only");
  EXPECT_TRUE(Ext().GetPropVal(ExtSelf(), 0, &Value));
  EXPECT_EQ(Value.lVal, 1);

  // An output value without a text form turns a completed call into a failure.
  V8Variant Param{};
  EXPECT_FALSE(CallFunc(u"OutputWithoutText", Ret, &Param, 1));
  EXPECT_EQ(TestDriver::Runs, 1);
  ASSERT_EQ(Connection.Errors.size(), 3u);
  EXPECT_EQ(Connection.Errors[2].Description, u"Unsupported data type - VTYPE_R4");
}

TEST_F(ComponentTest, WithLoggingOffACallAllocatesOnlyWhatItHandsToTheHost) {
  SetLogMode(TLogMode::lmOff);
  static char16_t Text[] = u"host text";
  V8Variant Params[2]{};
  Params[0].vt = VTYPE_I4;
  Params[1].vt = VTYPE_PWSTR;
  Params[1].vtRecWideString.pwstrVal = Text;
  Params[1].vtRecWideString.wstrLen = 9;
  V8Variant Ret{};
  const HostLong Number = Ext().FindMethod(ExtSelf(), u"ReturnTrue");
  HeapAllocations = 0;
  CountingHeap = true;
  const bool Ok = Ext().CallAsFunc(ExtSelf(), Number, &Ret, Params, 2);
  CountingHeap = false;
  EXPECT_TRUE(Ok);
  EXPECT_EQ(HeapAllocations, 0);
  EXPECT_EQ(Ret.vt, VTYPE_BOOL);
}

TEST_F(ComponentTest, StringDefaultsAreHandedOverAsHostCopies) {
  V8Variant Value{};
  ASSERT_TRUE(Ext().GetParamDefValue(ExtSelf(), 0, 0, &Value));
  EXPECT_EQ(V8AsWString(Value), u"def");
  EXPECT_EQ(Memory.Live.count(Value.vtRecWideString.pwstrVal), 1u);
  Release(Value);
  EXPECT_FALSE(Ext().GetParamDefValue(ExtSelf(), 0, 1, &Value));
  EXPECT_FALSE(Ext().GetParamDefValue(ExtSelf(), 1, 0, &Value));
}

TEST_F(ComponentTest, LocaleAndDoneLeaveTheComponentWorking) {
  OpsOf<TLocaleOps>(Locale).SetLocale(Interface(Locale), u"ru_RU");
  InitDoneOps().Done(Interface(InitDone));
  V8Variant Ret{};
  EXPECT_TRUE(CallFunc(u"Эхо", Ret, nullptr, 0));
  EXPECT_EQ(V8AsWString(Ret), u"done");
  Release(Ret);
  EXPECT_EQ(static_cast<TV8UserObject*>(Component->Driver[0])->locale, u"ru_RU");
}

// Other hosts delete a component through the destructor slot of whichever
// interface they hold; the driver object must die once and the memory be freed.
TEST(ComponentDestructorSlots, EachTableDestroysTheComponentOnce) {
  TClassReg Class;
  Class.UserClass = [] { return std::unique_ptr<TV8UserObject>(new TestDriver); };
  for (const int Index : {0, 1, 2}) {
    TestDriver::Destroyed = 0;
    ComponentObject* Component = CreateComponentObject(Class);
    ASSERT_NE(Component, nullptr);
    void* Self = reinterpret_cast<void**>(Component) + Index;
    const auto& Slots = **static_cast<const V8DestructorSlots* const*>(Self);
#if V8_MSVC_ABI
    EXPECT_EQ(Slots.DeletingDestructor(Self, 0), Self);
    EXPECT_EQ(TestDriver::Destroyed, 1);
    Slots.DeletingDestructor(Self, 1);
#else
    Slots.CompleteDestructor(Self);
    EXPECT_EQ(TestDriver::Destroyed, 1);
    Slots.DeletingDestructor(Self);
#endif
    EXPECT_EQ(TestDriver::Destroyed, 1) << "table " << Index;
  }
}

TEST(ComponentCreation, AFailingConstructorCreatesNothing) {
  TClassReg Class;
  Class.UserClass = []() -> std::unique_ptr<TV8UserObject> { throw Exception(std::string_view("no device")); };
  EXPECT_EQ(CreateComponentObject(Class), nullptr);
  Class.UserClass = nullptr;
  EXPECT_EQ(CreateComponentObject(Class), nullptr);
}
