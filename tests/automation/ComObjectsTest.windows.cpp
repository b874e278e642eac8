#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "platform/Automation.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "tests/support/CommonSupport.h"

namespace {

using automation::Argument;
using automation::ObjectRef;
using automation::Value;
using testsupport::FailureOf;

// Scripting.Dictionary is a COM class every Windows (and Wine) registers.
constexpr char16_t kDictionary[] = u"Scripting.Dictionary";

// An object of our own, which no COM object can take.
class NotCom final : public automation::Object {
public:
  void Put(std::u16string_view, const Value&) override {}
  Value Get(std::u16string_view) override { return {}; }
  Value Call(std::u16string_view, std::span<Argument>) override { return {}; }
};

Value Call(const ObjectRef& Object, std::u16string_view Name, std::vector<Argument> Args) {
  return Object->Call(Name, Args);
}

// Runs Body on a thread of its own, where COM starts uninitialised.
void OnFreshThread(void (*Body)()) { std::thread(Body).join(); }

// Whether COM is initialised on this thread (in any model), probed without
// changing it.
bool ComInitialisedHere() {
  APTTYPE Type{};
  APTTYPEQUALIFIER Qualifier{};
  return SUCCEEDED(::CoGetApartmentType(&Type, &Qualifier)) && Qualifier != APTTYPEQUALIFIER_IMPLICIT_MTA;
}

TEST(ComObjects, DictionaryTakesAndAnswersValues) {
  const ObjectRef Dictionary = automation::CreateObject(kDictionary);
  Dictionary->Put(u"CompareMode", Value{int32_t{1}});  // text compare: keys ignore case
  Call(Dictionary, u"Add", {Argument::ByValue(u"amount"), Argument::ByValue(int32_t{1000})});
  Call(Dictionary, u"Add", {Argument::ByValue(int32_t{7}), Argument::ByValue(u"seven")});
  Call(Dictionary, u"Add", {Argument::ByValue(u"big"), Argument::ByValue(int64_t{1} << 40)});
  Call(Dictionary, u"Add", {Argument::ByValue(u"flag"), Argument::ByValue(true)});
  Call(Dictionary, u"Add", {Argument::ByValue(u"nothing"), Argument::ByValue(Value{})});

  EXPECT_EQ(Dictionary->Get(u"Count"), Value{int32_t{5}});
  EXPECT_EQ(Call(Dictionary, u"Item", {Argument::ByValue(u"AMOUNT")}), Value{int32_t{1000}});
  EXPECT_EQ(Call(Dictionary, u"Item", {Argument::ByValue(int32_t{7})}), Value{u"seven"});
  EXPECT_EQ(Call(Dictionary, u"Item", {Argument::ByValue(u"big")}), Value{int64_t{1} << 40});
  EXPECT_EQ(Call(Dictionary, u"Item", {Argument::ByValue(u"flag")}), Value{true});
  EXPECT_EQ(Call(Dictionary, u"Item", {Argument::ByValue(u"nothing")}), Value{});
  EXPECT_EQ(Call(Dictionary, u"Exists", {Argument::ByValue(u"absent")}), Value{false});

  // A by-reference argument reaches the object as its value and comes back.
  Value Key = u"amount";
  EXPECT_EQ(Call(Dictionary, u"Exists", {Argument::ByRef(Key)}), Value{true});
  EXPECT_EQ(Key, Value{u"amount"});
}

TEST(ComObjects, InstancesAreIndependentAndTravelAsObjects) {
  const ObjectRef Outer = automation::CreateObject(kDictionary);
  const ObjectRef Inner = automation::CreateObject(kDictionary);
  Call(Inner, u"Add", {Argument::ByValue(u"k"), Argument::ByValue(u"v")});
  Call(Outer, u"Add", {Argument::ByValue(u"inner"), Argument::ByValue(Inner)});
  EXPECT_EQ(Outer->Get(u"Count"), Value{int32_t{1}});
  EXPECT_EQ(Inner->Get(u"Count"), Value{int32_t{1}});

  const ObjectRef Answered = automation::ToObject(Call(Outer, u"Item", {Argument::ByValue(u"inner")}));
  EXPECT_EQ(Call(Answered, u"Item", {Argument::ByValue(u"k")}), Value{u"v"});
}

TEST(ComObjects, FailuresCarryTheAutomationText) {
  const struct {
    void (*Action)();
    std::u16string_view Message;
  } Cases[] = {
      {[] { automation::CreateObject(u"Orvex.Unregistered"); }, u"Invalid class string"},
      {[] { automation::CreateObject(std::u16string(u"Scripting.Dictionary\0x", 22)); }, u"Invalid class string"},
      {[] { automation::CreateObject(kDictionary)->Get(u"NoSuchMember"); }, u"Unknown name."},
      {[] { automation::CreateObject(kDictionary)->Get(std::u16string(u"Count\0x", 7)); }, u"Unknown name."},
      {[] {
         Call(automation::CreateObject(kDictionary), u"Add",
              {Argument::ByValue(u"k"), Argument::ByValue(ObjectRef(std::make_shared<NotCom>()))});
       },
       u"Only objects made by CreateObject can be passed to an automation object"},
  };
  for (const auto& Case : Cases) EXPECT_EQ(FailureOf(Case.Action), Case.Message);
}

TEST(ComObjects, ObjectErrorsArePassedOn) {
  const std::u16string Duplicate = FailureOf([] {
    const ObjectRef Dictionary = automation::CreateObject(kDictionary);
    Call(Dictionary, u"Add", {Argument::ByValue(u"k"), Argument::ByValue(int32_t{1})});
    Call(Dictionary, u"Add", {Argument::ByValue(u"k"), Argument::ByValue(int32_t{2})});
  });
  // The object's description where it gives one (Windows), else the code
  // (Wine: "Automation error 0x800A01C9").
  EXPECT_NE(Duplicate, u"(no failure)");
  EXPECT_FALSE(Duplicate.empty());
}

TEST(ComObjects, ComInitialisationIsBalanced) {
  // Initialised for the first object, ended after the last, also after a failure.
  OnFreshThread([] {
    ASSERT_FALSE(ComInitialisedHere());
    {
      const ObjectRef First = automation::CreateObject(kDictionary);
      ObjectRef Second = automation::CreateObject(kDictionary);
      EXPECT_TRUE(ComInitialisedHere());
      Second.reset();
      EXPECT_TRUE(ComInitialisedHere());
    }
    EXPECT_FALSE(ComInitialisedHere());
    EXPECT_THROW(automation::CreateObject(u"Orvex.Unregistered"), Exception);
    EXPECT_FALSE(ComInitialisedHere());
  });
  // A host's own initialisation, in another model, stays as the host made it.
  OnFreshThread([] {
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    automation::CreateObject(kDictionary)->Get(u"Count");
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE) << "still the host's multithreaded COM";
    ::CoUninitialize();
    ::CoUninitialize();
    EXPECT_FALSE(ComInitialisedHere());
  });
  // The same model as ours: our initialisation is counted and ended, the host's stays.
  OnFreshThread([] {
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    automation::CreateObject(kDictionary)->Get(u"Count");
    EXPECT_TRUE(ComInitialisedHere());
    ::CoUninitialize();
    EXPECT_FALSE(ComInitialisedHere());
  });
}

}  // namespace
