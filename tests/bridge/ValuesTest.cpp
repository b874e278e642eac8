#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "bridge/v8napi.h"
#include "platform/DateTime.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "tests/bridge/FakeHost.h"

namespace {

V8Variant Record(uint16_t Type, const std::function<void(V8Variant&)>& Fill = {}) {
  V8Variant V;
  std::memset(static_cast<void*>(&V), 0, sizeof(V));
  V.vt = Type;
  if (Fill) Fill(V);
  return V;
}

V8Variant I4(int32_t X) {
  return Record(VTYPE_I4, [=](V8Variant& V) { V.lVal = X; });
}
V8Variant I8(int64_t X) {
  return Record(VTYPE_I8, [=](V8Variant& V) { V.llVal = X; });
}
V8Variant R8(double X) {
  return Record(VTYPE_R8, [=](V8Variant& V) { V.dblVal = X; });
}
V8Variant R4(float X) {
  return Record(VTYPE_R4, [=](V8Variant& V) { V.fltVal = X; });
}
V8Variant I2(int16_t X) {
  return Record(VTYPE_I2, [=](V8Variant& V) { V.shortVal = X; });
}
V8Variant Byte(uint16_t Type, uint8_t X) {
  return Record(Type, [=](V8Variant& V) { V.ui8Val = X; });
}
V8Variant Date(double X) {
  return Record(VTYPE_DATE, [=](V8Variant& V) { V.date = X; });
}
V8Variant Wide(const char16_t* Text, uint32_t Length) {
  return Record(VTYPE_PWSTR, [=](V8Variant& V) {
    V.vtRecWideString.pwstrVal = const_cast<char16_t*>(Text);
    V.vtRecWideString.wstrLen = Length;
  });
}
V8Variant Wide(const char16_t* Text) { return Wide(Text, static_cast<uint32_t>(std::u16string_view(Text).size())); }
V8Variant Tm(int Year, int Month, int Day, int Hour, int Minute, int Second) {
  return Record(VTYPE_TM, [=](V8Variant& V) {
    V.tmVal.tm_year = Year;
    V.tmVal.tm_mon = Month;
    V.tmVal.tm_mday = Day;
    V.tmVal.tm_hour = Hour;
    V.tmVal.tm_min = Minute;
    V.tmVal.tm_sec = Second;
  });
}

bool AllZero(const V8Variant& V) {
  const auto* Bytes = reinterpret_cast<const unsigned char*>(&V);
  for (std::size_t I = 0; I < sizeof(V); ++I) {
    if (Bytes[I] != 0) return false;
  }
  return true;
}

std::string Utf8(const std::u16string& Text) {
  return std::string(Text.begin(), Text.end());  // the texts compared here are ASCII
}

}  // namespace

TEST(V8Readers, IntegerConversions) {
  const struct {
    const char* Name;
    V8Variant Value;
    int32_t Int;
  } Cases[] = {
      {"R8 2.9 truncates", R8(2.9), 2},
      {"R8 -2.9 truncates toward zero", R8(-2.9), -2},
      {"R8 keeps the low 32 bits", R8(4294967298.0), 2},
      {"R4 truncates", R4(-3.5f), -3},
      {"text", Wide(u"42"), 42},
      {"text with blanks and a sign", Wide(u" -17 "), -17},
      {"text with a letter", Wide(u"4a2"), 0},
      {"text beyond 32 bits", Wide(u"4294967296"), 0},
      {"I8 is not converted", I8(5), 0},
      {"I2", I2(-300), -300},
      {"Bool is not converted", Byte(VTYPE_BOOL, 1), 0},
      {"date gives the day number", Date(45000.7), 45000},
      {"UI1", Byte(VTYPE_UI1, 200), 200},
      {"error code", Record(VTYPE_ERROR, [](V8Variant& V) { V.errCode = -5; }), -5},
      {"empty", Record(VTYPE_EMPTY), 0},
      {"by-ref I4 uses the base type", Record(VTYPE_I4 | VTYPE_BYREF, [](V8Variant& V) { V.lVal = 9; }), 9},
  };
  for (const auto& Case : Cases) EXPECT_EQ(V8AsInt(Case.Value), Case.Int) << Case.Name;
}

TEST(V8Readers, LongBoolDoubleAndDate) {
  EXPECT_EQ(V8AsLong(I8((int64_t{1} << 32) + 5)), 5);
  EXPECT_EQ(V8AsLong(I4(-7)), -7);
  EXPECT_EQ(V8AsLong(R8(-2.9)), -2);

  EXPECT_TRUE(V8AsBool(Byte(VTYPE_BOOL, 1)));
  EXPECT_TRUE(V8AsBool(Byte(VTYPE_BOOL, 2))) << "any non-zero byte is true";
  EXPECT_FALSE(V8AsBool(I4(0)));
  EXPECT_TRUE(V8AsBool(Wide(u"1")));
  EXPECT_FALSE(V8AsBool(Wide(u"true"))) << "the text is read as a number";

  EXPECT_DOUBLE_EQ(V8AsDouble(Wide(u"1.5")), 1.5);
  EXPECT_DOUBLE_EQ(V8AsDouble(Wide(u"1,5")), 0) << "only a full stop separates decimals";
  EXPECT_DOUBLE_EQ(V8AsDouble(Wide(u"1e3")), 1000);
  EXPECT_DOUBLE_EQ(V8AsDouble(I4(3)), 3);
  EXPECT_DOUBLE_EQ(V8AsDouble(I8(3)), 0);
  EXPECT_DOUBLE_EQ(V8AsDouble(Date(45000.25)), 45000.25);
  EXPECT_DOUBLE_EQ(V8AsDouble(R4(0.5f)), 0.5);

  EXPECT_DOUBLE_EQ(V8AsDate(Tm(124, 2, 5, 10, 20, 30)), EncodeDateTime(2024, 3, 5, 10, 20, 30, 0));
  EXPECT_DOUBLE_EQ(V8AsDate(I4(5)), 0);
  EXPECT_DOUBLE_EQ(V8AsDate(R8(45000.5)), 45000.5);
}

TEST(V8Readers, RefusesWhatHasNoValue) {
  const struct {
    const char* Name;
    V8Variant Value;
    std::function<void(const V8Variant&)> Read;
    const char* Message;
  } Cases[] = {
      {"NaN to integer", R8(std::nan("")), [](const V8Variant& V) { V8AsInt(V); }, "Invalid floating point operation"},
      {"huge to integer", R8(1e30), [](const V8Variant& V) { V8AsInt(V); }, "Invalid floating point operation"},
      {"month 12", Tm(124, 12, 5, 0, 0, 0), [](const V8Variant& V) { V8AsDate(V); }, "Invalid argument to date encode"},
      {"30 February", Tm(124, 1, 30, 0, 0, 0), [](const V8Variant& V) { V8AsDate(V); },
       "Invalid argument to date encode"},
      {"year overflow", Tm(2147483600, 0, 1, 0, 0, 0), [](const V8Variant& V) { V8AsDate(V); },
       "Invalid argument to date encode"},
      {"hour 24", Tm(124, 0, 1, 24, 0, 0), [](const V8Variant& V) { V8AsDate(V); }, "Invalid argument to time encode"},
  };
  for (const auto& Case : Cases) {
    try {
      Case.Read(Case.Value);
      ADD_FAILURE() << Case.Name << ": no error";
    } catch (const Exception& E) {
      EXPECT_STREQ(E.what(), Case.Message) << Case.Name;
    }
  }
}

TEST(V8Readers, WideStringStopsAtNulAndNeverPassesTheLength) {
  static const char16_t Embedded[] = u"ab\0cd";
  EXPECT_EQ(V8AsWString(Wide(Embedded, 5)), u"ab");
  static const char16_t Unterminated[] = {u'x', u'y', u'z'};
  EXPECT_EQ(V8AsWString(Wide(Unterminated, 2)), u"xy");
  EXPECT_EQ(V8AsWString(Wide(nullptr, 4)), u"");
  EXPECT_EQ(V8AsWString(Record(VTYPE_PSTR, [](V8Variant& V) { V.vtRecString.pstrVal = const_cast<char*>("abc"); })),
            u"");
  EXPECT_TRUE(V8IsString(Record(VTYPE_PSTR)));
  EXPECT_TRUE(V8IsString(Wide(u"")));
  EXPECT_FALSE(V8IsString(I4(1)));
}

TEST(V8Text, TypeNames) {
  const struct {
    uint16_t Type;
    const char* Name;
  } Cases[] = {
      {VTYPE_PWSTR | VTYPE_BYREF, "VTYPE_PWSTR by ref"},
      {VTYPE_I4 | VTYPE_BYREF | VTYPE_ARRAY, "VTYPE_I4 by ref"},
      {VTYPE_I4 | VTYPE_ARRAY | VTYPE_VECTOR, "VTYPE_I4 array"},
      {VTYPE_R8 | VTYPE_VECTOR, "VTYPE_R8 vector"},
      {100, "unknown type"},
      {100 | VTYPE_BYREF, "unknown type"},
      {VTYPE_STR_BLOB, "VTYPE_STR_BLOB"},
      {VTYPE_CLSID, "VTYPE_CLSID"},
      {VTYPE_EMPTY, "VTYPE_EMPTY"},
  };
  for (const auto& Case : Cases) EXPECT_EQ(Utf8(V8TypeName(Record(Case.Type))), Case.Name);
}

TEST(V8Text, TextForms) {
  const struct {
    V8Variant Value;
    const char* Text;
  } Cases[] = {
      {Record(VTYPE_EMPTY), ""},
      {Byte(VTYPE_BOOL, 0), "False"},
      {Byte(VTYPE_BOOL, 1), "True"},
      {I4(-7), "-7"},
      {I8(-9000000000), "-9000000000"},
      {R8(1.5), "1.5"},
      {R8(100), "100"},
      {R8(-0.25), "-0.25"},
      {R8(0.1 + 0.2), "0.3"},
      {R8(0.00001), "0.00001"},
      {R8(0.000001), "1E-6"},
      {R8(1e20), "1E20"},
      {R8(123456789012345.0), "123456789012345"},
      {R8(1234567890123456.0), "1.23456789012346E15"},
      {R8(0), "0"},
      {Wide(u"текст"), "текст"},
  };
  for (const auto& Case : Cases) EXPECT_EQ(V8ToText(Case.Value), FromUtf8(Case.Text)) << Case.Text;
}

TEST(V8Text, ValuesWithoutTextFormAreRefusedByBothPaths) {
  const struct {
    V8Variant Value;
    const char* Message;
  } Cases[] = {
      {R4(1), "Unsupported data type - VTYPE_R4"},
      {Record(VTYPE_NULL), "Unsupported data type - VTYPE_NULL"},
      {I2(1), "Unsupported data type - VTYPE_I2"},
      {Record(VTYPE_PSTR), "Unsupported data type - VTYPE_PSTR"},
      {Record(VTYPE_ERROR), "Unsupported data type - VTYPE_ERROR"},
      {Byte(VTYPE_UI1, 1), "Unsupported data type - VTYPE_UI1"},
      {Record(VTYPE_I4 | VTYPE_BYREF), "Unsupported data type - VTYPE_I4 by ref"},
      {Record(VTYPE_PWSTR | VTYPE_VECTOR), "Unsupported data type - VTYPE_PWSTR vector"},
      {Record(0x0ABC), "Unsupported data type - unknown type"},
      {Date(1e300), "Invalid date value"},
      {Date(std::nan("")), "Invalid date value"},
      {Tm(124, 13, 1, 0, 0, 0), "Invalid argument to date encode"},
  };
  for (const auto& Case : Cases) {
    for (const auto& Path : {std::function<void()>([&] { V8ToText(Case.Value); }),
                             std::function<void()>([&] { V8CheckText(Case.Value); })}) {
      try {
        Path();
        ADD_FAILURE() << Case.Message << ": no error";
      } catch (const Exception& E) {
        EXPECT_STREQ(E.what(), Case.Message);
      }
    }
  }
}

TEST(V8Text, ParamsList) {
  EXPECT_EQ(V8ParamsToText(nullptr, 0), u"[]");
  V8Variant Params[] = {I4(1), Record(VTYPE_BLOB), Wide(u"x"), Byte(VTYPE_BOOL, 1)};
  EXPECT_EQ(V8ParamsToText(Params, 4), u"[1; BLOB; x; True]");
  EXPECT_NO_THROW(V8CheckParamsText(Params, 4));
  V8Variant WithR4[] = {I4(1), R4(2)};
  EXPECT_THROW(V8CheckParamsText(WithR4, 2), Exception);
  EXPECT_THROW(V8ParamsToText(WithR4, 2), Exception);
  V8Variant BlobByRef[] = {Record(VTYPE_BLOB | VTYPE_BYREF)};
  EXPECT_THROW(V8ParamsToText(BlobByRef, 1), Exception) << "only a whole vt of 23 is written BLOB";
}

// A marked secret shows nothing of itself, not even that it is empty; a
// marked card number keeps its first six and last four digits.
TEST(V8Text, MarkedParamsAreMaskedInTheList) {
  V8Variant Params[] = {Wide(u"4111111111111112"), Wide(u"pass"), Wide(u""), I4(7)};
  EXPECT_EQ(V8ParamsToText(Params, 4, TParamMarks{0b0001, 0b0110}), u"[411111******1112; ********; ********; 7]");
  V8Variant WithR4[] = {R4(2)};
  EXPECT_THROW(V8ParamsToText(WithR4, 1, TParamMarks{0, 0b1}), Exception) << "marked or not, it has no text";
}

TEST(V8Writers, StringsAreHostAllocatedWithTheExactSize) {
  CountingMemoryManager MM;
  V8Variant V = Record(VTYPE_EMPTY);

  ASSERT_TRUE(V8SetWString(&MM, V, u""));
  EXPECT_EQ(V.vt, VTYPE_PWSTR);
  EXPECT_EQ(V.vtRecWideString.wstrLen, 0u);
  ASSERT_NE(V.vtRecWideString.pwstrVal, nullptr);
  EXPECT_EQ(V.vtRecWideString.pwstrVal[0], 0);
  EXPECT_EQ(MM.AllocSizes.back(), 2u);

  ASSERT_TRUE(V8SetWString(&MM, V, u"абв"));
  EXPECT_EQ(MM.Frees, 1) << "the old buffer is released exactly once";
  EXPECT_EQ(MM.AllocSizes.back(), 8u);
  EXPECT_EQ(std::u16string(V.vtRecWideString.pwstrVal), u"абв");

  ASSERT_TRUE(V8SetString(&MM, V, ""));
  EXPECT_EQ(V.vt, VTYPE_PSTR);
  EXPECT_EQ(MM.AllocSizes.back(), 1u);
  ASSERT_TRUE(V8SetPChar(&MM, V, "abc"));
  EXPECT_EQ(V.vtRecString.strLen, 3u);
  EXPECT_STREQ(V.vtRecString.pstrVal, "abc");

  const unsigned char Bytes[] = {1, 0, 2};
  ASSERT_TRUE(V8SetBlob(&MM, V, Bytes, 3));
  EXPECT_EQ(V.vt, VTYPE_BLOB);
  EXPECT_EQ(MM.AllocSizes.back(), 3u) << "no terminator after blob bytes";
  EXPECT_EQ(std::memcmp(V.vtRecString.pstrVal, Bytes, 3), 0);

  V8ClearVar(&MM, V);
  EXPECT_TRUE(AllZero(V));
  EXPECT_TRUE(MM.Live.empty());
  EXPECT_EQ(MM.BadFrees, 0);
}

TEST(V8Writers, NullInputsAndRefusedAllocations) {
  CountingMemoryManager MM;
  V8Variant V = I4(5);
  EXPECT_TRUE(V8SetPChar(&MM, V, nullptr));
  EXPECT_TRUE(V8SetBlob(&MM, V, nullptr, 4));
  EXPECT_EQ(V.vt, VTYPE_I4) << "a null input leaves the record alone";
  EXPECT_EQ(V.lVal, 5);

  MM.Refuse = true;
  EXPECT_FALSE(V8SetWString(&MM, V, u"x"));
  EXPECT_EQ(V.vt, VTYPE_PWSTR);
  EXPECT_EQ(V.vtRecWideString.pwstrVal, nullptr);
  EXPECT_EQ(V.vtRecWideString.wstrLen, 0u);
  EXPECT_FALSE(V8SetBlob(&MM, V, "ab", 2));
  EXPECT_EQ(V.vt, VTYPE_BLOB);
  EXPECT_FALSE(V8SetWString(nullptr, V, u"x")) << "no memory manager";
  EXPECT_EQ(V8DupWString(nullptr, u"x"), nullptr);
}

TEST(V8Writers, ClearingNeedsNoMemoryManagerForPlainValues) {
  CountingMemoryManager MM;
  V8Variant V = I4(7);
  V8ClearVar(&MM, V);
  EXPECT_TRUE(AllZero(V));
  EXPECT_TRUE(MM.AllocSizes.empty());
  EXPECT_EQ(MM.Frees, 0);

  // A string record without a memory manager to release it: logged, still cleared.
  static char16_t Text[] = u"x";
  V = Wide(Text, 1);
  V8ClearVar(nullptr, V);
  EXPECT_TRUE(AllZero(V));

  V8SetDouble(&MM, V, 2.5);
  EXPECT_EQ(V.vt, VTYPE_R8);
  V8SetDate(&MM, V, 3.5);
  EXPECT_EQ(V.vt, VTYPE_DATE);
  V8SetInt64(&MM, V, -1);
  EXPECT_EQ(V.vt, VTYPE_I8);
  V8SetBool(&MM, V, true);
  EXPECT_EQ(V.vt, VTYPE_BOOL);
  EXPECT_EQ(V.vtPadding, 0) << "the writers leave the padding after the type code zero";
}
