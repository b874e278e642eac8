#include <gtest/gtest.h>

#include "bridge/v8napi.h"

namespace {

bool Nothing(TV8UserObject&, V8Variant*, V8Variant*, int32_t, TV8AddInDefBaseEx*&) { return true; }

TClassReg SampleClass() {
  TClassReg Class;
  // Entry 2's English name equals entry 5's localized one: the scan order decides.
  const char16_t* Names[][2] = {{u"Open", u"Открыть"}, {u"Close", u"Закрыть"},  {u"Shared", u"Общий"},
                                {u"Pay", u"Оплатить"}, {u"Read", u"Прочитать"}, {u"Other", u"Shared"}};
  for (const auto& Name : Names) Class.AddFunc(Name[0], Name[1], &Nothing, 1);
  return Class;
}

}  // namespace

TEST(ClassRegistry, MethodLookupFollowsTheScanOrderAndIsCaseSensitive) {
  const TClassReg Class = SampleClass();
  const struct {
    const char16_t* Name;
    int32_t Number;
  } Cases[] = {
      {u"Shared", 2}, {u"Открыть", 0}, {u"Close", 1}, {u"close", -1}, {u"ЗАКРЫТЬ", -1}, {u"", -1}, {u"Missing", -1},
  };
  for (const auto& Case : Cases) EXPECT_EQ(Class.FindMethod(Case.Name), Case.Number);
}

TEST(ClassRegistry, NamesByNumberAndLanguage) {
  const TClassReg Class = SampleClass();
  EXPECT_EQ(*Class.MethodName(3, 0), u"Pay");
  EXPECT_EQ(*Class.MethodName(3, 1), u"Оплатить");
  EXPECT_EQ(*Class.MethodName(3, 2), u"Оплатить");
  EXPECT_EQ(Class.MethodName(6, 0), nullptr);
  EXPECT_EQ(Class.MethodName(-1, 0), nullptr);
  EXPECT_EQ(Class.PropName(0, 0), nullptr);
}

TEST(ClassRegistry, PropertiesAreFoundByEitherName) {
  TClassReg Class;
  Class.AddProp(u"LogEnabled", u"ЛогВключен", true, true, nullptr);
  Class.AddProp(u"Status", u"Статус", true, false, nullptr);
  EXPECT_EQ(Class.FindProp(u"Статус"), 1);
  EXPECT_EQ(Class.FindProp(u"LogEnabled"), 0);
  EXPECT_EQ(Class.FindProp(u"status"), -1);
  EXPECT_FALSE(Class.Prop(1)->IsWritable);
}

TEST(ClassRegistry, DefaultValuesCountParametersFromOne) {
  TClassReg Class = SampleClass();
  TDefParamList& Defaults = Class.MethList[0]->DefParams;
  EXPECT_EQ(Defaults.Find(0), nullptr);
  Defaults.AddInt(7, 2);
  ASSERT_NE(Defaults.Find(1), nullptr);
  EXPECT_EQ(Defaults.Find(1)->Value.vt, VTYPE_I4);
  EXPECT_EQ(Defaults.Find(1)->Value.lVal, 7);
  EXPECT_EQ(Defaults.Find(0), nullptr);
  EXPECT_EQ(Defaults.TempParam, &Defaults.Find(1)->Value);

  Defaults.AddWString(u"abc", 1);
  Defaults.AddDouble(1.5, 3);
  Defaults.AddBool(true, 4);
  Defaults.AddDate(2.5, 5);
  Defaults.AddAString("xy", 6);
  EXPECT_EQ(std::u16string(Defaults.Find(0)->Value.vtRecWideString.pwstrVal), u"abc");
  EXPECT_EQ(Defaults.Find(0)->Value.vtRecWideString.wstrLen, 3u);
  EXPECT_EQ(Defaults.Find(2)->Value.vt, VTYPE_R8);
  EXPECT_EQ(Defaults.Find(3)->Value.vt, VTYPE_BOOL);
  EXPECT_EQ(Defaults.Find(4)->Value.vt, VTYPE_DATE);
  EXPECT_EQ(Defaults.Find(5)->Value.vtRecString.strLen, 2u);
  EXPECT_EQ(Defaults.ValueCount(), 6);
}

TEST(ClassRegistry, ClassNamesJoinRegisteredNamesWithBars) {
  TClassRegList List;
  EXPECT_EQ(List.ClassNames(), u"");
  List.RegisterClass(nullptr, u"ext_a", u"a_orvextx1c83n");
  EXPECT_EQ(List.ClassNames(), u"a_orvextx1c83n");
  List.RegisterClass(nullptr, u"ext_b", u"Second");
  EXPECT_EQ(List.ClassNames(), u"a_orvextx1c83n|Second");
  EXPECT_EQ(List.FindClass(u"Second")->RegisterExtensionAs, u"ext_b");
  EXPECT_EQ(List.FindClass(u"SECOND"), nullptr);
}
