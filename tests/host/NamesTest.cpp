// Finding members by name, their names by number, parameter counts and defaults.
#include "tests/support/HostTestSupport.h"

namespace hosttest {
namespace {

class HostNames : public HostSession {};

TEST_F(HostNames, MethodLookupScansByNumberLocalizedNameFirstExactCase) {
  Component& Object = Open();
  const struct {
    const char16_t* Name;
    HostLong Expected;
  } Cases[] = {
      {u"Echo", 0},
      {u"Эхо", 0},
      {u"Сложить", 1},
      {u"Plus", 8},
      // entry 1's English name is entry 8's localized one: the earlier entry wins
      {u"Add", 1},
      // entry 2's localized name is entry 9's English one: the earlier entry wins
      {u"Сбой", 2},
      {u"Авария", 9},
      {u"add", -1},
      {u"ECHO", -1},
      {u"эхо", -1},
      {u"Echo ", -1},
      {u"", -1},
      {u"Counter", -1},
  };
  for (const auto& Case : Cases) EXPECT_EQ(Object.FindMethod(Case.Name), Case.Expected) << ToUtf8(Case.Name);
}

TEST_F(HostNames, PropertyLookupFollowsTheSameRules) {
  Component& Object = Open();
  const struct {
    const char16_t* Name;
    HostLong Expected;
  } Cases[] = {
      {u"Counter", 0},  {u"Счётчик", 0},  {u"Sink", 8},  {u"Приёмник", 8},
      {u"counter", -1}, {u"СЧЁТЧИК", -1}, {u"Echo", -1}, {u"", -1},
  };
  for (const auto& Case : Cases) EXPECT_EQ(Object.FindProp(Case.Name), Case.Expected) << ToUtf8(Case.Name);
}

TEST_F(HostNames, NullNamesAreNotFound) {
  Component& Object = Open();
  EXPECT_EQ(Object.Extender().FindMethod(Object.ExtenderInterface(), nullptr), -1);
  EXPECT_EQ(Object.Extender().FindProp(Object.ExtenderInterface(), nullptr), -1);
}

TEST_F(HostNames, LanguageZeroGivesEnglishAnyOtherTheLocalizedName) {
  Component& Object = Open();
  const struct {
    HostLong Number, Language;
    const char16_t* Method;
    const char16_t* Property;
  } Cases[] = {
      {0, 0, u"Echo", u"Counter"}, {0, 1, u"Эхо", u"Счётчик"}, {0, 2, u"Эхо", u"Счётчик"},
      {0, -1, u"Эхо", u"Счётчик"}, {9, 0, u"Сбой", u"Locale"}, {9, 1, u"Авария", u"Локаль"},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(Object.MethodName(Case.Number, Case.Language), Case.Method);
    EXPECT_EQ(Object.PropName(Case.Number, Case.Language), Case.Property);
  }
}

TEST_F(HostNames, MethodShapesAndPropertyAccess) {
  Component& Object = Open();
  const struct {
    const char16_t* Name;
    HostLong Params;
    bool HasRetVal;
  } Methods[] = {
      {u"Echo", 1, true},         {u"Add", 2, true},       {u"Greeting", 0, true},
      {u"WriteOutputs", 3, true}, {u"Remember", 1, false}, {u"Авария", 0, false},
  };
  for (const auto& Case : Methods) {
    const MethodInfo Info = Object.Method(Method(Case.Name));
    EXPECT_EQ(Info.ParamCount, Case.Params) << ToUtf8(Case.Name);
    EXPECT_EQ(Info.HasRetVal, Case.HasRetVal) << ToUtf8(Case.Name);
  }
  const struct {
    const char16_t* Name;
    bool Readable, Writable;
  } Properties[] = {
      {u"Counter", true, true},
      {u"Version", true, false},
      {u"Sink", false, true},
  };
  for (const auto& Case : Properties) {
    const PropertyInfo Info = Object.Property(Prop(Case.Name));
    EXPECT_EQ(Info.Readable, Case.Readable) << ToUtf8(Case.Name);
    EXPECT_EQ(Info.Writable, Case.Writable) << ToUtf8(Case.Name);
  }
  EXPECT_EQ(Object.MethodCount(), 10);
  EXPECT_EQ(Object.PropCount(), 10);
}

TEST_F(HostNames, DefaultsOnlyWhereRegistered) {
  Component& Object = Open();
  const struct {
    const char16_t* Method;
    HostLong Param;
    std::optional<HostValue> Expected;
  } Cases[] = {
      // AddInt(7, 2): parameters count from 1 there, from 0 here
      {u"Add", 1, HostValue(int32_t{7})},
      {u"Add", 0, std::nullopt},
      {u"Add", 2, std::nullopt},
      {u"Add", -1, std::nullopt},
      {u"Greeting", 0, std::nullopt},
      // a string default reaches the host as a block the host may free
      {u"Echo", 0, HostValue(std::u16string(u"по умолчанию"))},
  };
  for (const auto& Case : Cases)
    EXPECT_EQ(Object.DefaultValue(Method(Case.Method), Case.Param), Case.Expected) << ToUtf8(Case.Method);
}

TEST_F(HostNames, ExtensionNameIsAHostBlockOfTheExactSize) {
  Component& Object = Open();
  V8Char* Name = nullptr;
  EXPECT_TRUE(Object.Extender().RegisterExtensionAs(Object.ExtenderInterface(), &Name));
  ASSERT_NE(Name, nullptr);
  EXPECT_EQ(std::u16string(Name), u"FixtureAddInEx");
  EXPECT_EQ(Memory.BlockSize(Name), 30u);  // 14 characters and the NUL
  Memory.Release(Name);
}

TEST_F(HostNames, NameCopiesAreHostBlocksOfTheExactSize) {
  Component& Object = Open();
  const V8Char* Name = Object.Extender().GetMethodName(Object.ExtenderInterface(), 1, 1);
  ASSERT_NE(Name, nullptr);
  EXPECT_EQ(Memory.BlockSize(Name), sizeof(u"Сложить"));
  Memory.Release(const_cast<V8Char*>(Name));
}

}  // namespace
}  // namespace hosttest
