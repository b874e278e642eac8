// A host built with g++ declares the three interfaces as C++ abstract classes
// and calls them through its own compiler's vtables; the component object must
// serve that host too: the calls, dynamic_cast<void*> and delete.
#include "tests/support/HostTestSupport.h"
#include "tools/v8host/GxxInterfaces.h"

namespace hosttest {

// The interfaces have external linkage, as in a real host's header: within one
// file the optimizer could otherwise conclude that no object of them exists.
namespace {

class GxxHost : public HostSession {
protected:
  void SetUp() override {
    ASSERT_EQ(FixtureLibrary().GetClassObject(u"Fixture", &FObject), 1);
    // The casts such a host makes on what GetClassObject gave it.
    auto* Whole = static_cast<GxxComponent*>(FObject);
    InitDone = Whole;
    Extender = Whole;
    Locale = Whole;
  }
  void TearDown() override {
    if (FObject) FixtureLibrary().DestroyObject(&FObject);
    HostSession::TearDown();
  }
  // The host deleted the object itself.
  void Forget() { FObject = nullptr; }

  void* Object() const { return FObject; }
  int32_t LiveObjects() { return std::get<int32_t>(*Open().GetProperty(Prop(u"LiveObjects")).Return); }

  GxxInitDone* InitDone = nullptr;
  GxxLanguageExtender* Extender = nullptr;
  GxxLocale* Locale = nullptr;

private:
  void* FObject = nullptr;
};

TEST_F(GxxHost, InterfacesSitOneAndTwoPointersAfterTheObject) {
  EXPECT_EQ(static_cast<void*>(InitDone), Object());
  EXPECT_EQ(reinterpret_cast<char*>(Extender), static_cast<char*>(Object()) + sizeof(void*));
  EXPECT_EQ(reinterpret_cast<char*>(Locale), static_cast<char*>(Object()) + 2 * sizeof(void*));
}

TEST_F(GxxHost, CallsThroughCompilerVtablesReachTheComponent) {
  EXPECT_TRUE(InitDone->Init(static_cast<TV8AddInDefBaseEx*>(&Connection)));
  EXPECT_TRUE(InitDone->setMemManager(static_cast<TV8MemoryManager*>(&Memory)));
  EXPECT_EQ(InitDone->GetInfo(), 2000);
  Locale->SetLocale(u"kk_KZ");

  EXPECT_EQ(Extender->GetNMethods(), 10);
  EXPECT_EQ(Extender->FindMethod(u"Сложить"), 1);
  EXPECT_EQ(Extender->GetNParams(1), 2);
  EXPECT_TRUE(Extender->HasRetVal(1));

  V8Variant Params[2], Return;
  ZeroRecord(Params[0]);
  ZeroRecord(Params[1]);
  ZeroRecord(Return);
  Params[0].vt = VTYPE_I4;
  Params[0].lVal = 40;
  ASSERT_TRUE(Extender->GetParamDefValue(1, 1, &Params[1]));
  EXPECT_TRUE(Extender->CallAsFunc(1, &Return, Params, 2));
  EXPECT_EQ(Return.vt, VTYPE_I4);
  EXPECT_EQ(Return.lVal, 47);

  V8Variant Value;
  ZeroRecord(Value);
  ASSERT_TRUE(Extender->GetPropVal(Extender->FindProp(u"Locale"), &Value));
  EXPECT_EQ(ReadRecord(Value), HostValue(std::u16string(u"kk_KZ")));
  ReleaseRecord(Memory, Value);

  const char16_t* Name = Extender->GetMethodName(1, 0);
  ASSERT_NE(Name, nullptr);
  EXPECT_EQ(std::u16string(Name), u"Add");
  Memory.Release(const_cast<char16_t*>(Name));
}

TEST_F(GxxHost, DynamicCastToVoidGivesTheComponentObject) {
  EXPECT_EQ(dynamic_cast<void*>(InitDone), Object());
  EXPECT_EQ(dynamic_cast<void*>(Extender), Object());
  EXPECT_EQ(dynamic_cast<void*>(Locale), Object());
}

// Deleting through any interface destroys the driver object and frees the
// component object once (a second release shows under the address sanitizer).
class GxxHostDelete : public GxxHost, public ::testing::WithParamInterface<int> {};

TEST_P(GxxHostDelete, DestroysTheDriverObjectOnce) {
  const int32_t Before = LiveObjects();
  switch (GetParam()) {
    case 0: delete InitDone; break;
    case 1: delete Extender; break;
    default: delete Locale; break;
  }
  Forget();
  EXPECT_EQ(LiveObjects(), Before - 1);
}

std::string InterfaceName(const ::testing::TestParamInfo<int>& Info) {
  static const char* const kInterfaces[] = {"InitDone", "LanguageExtender", "Locale"};
  return kInterfaces[Info.param];
}

INSTANTIATE_TEST_SUITE_P(ThroughEachInterface, GxxHostDelete, ::testing::Values(0, 1, 2), InterfaceName);

}  // namespace
}  // namespace hosttest
