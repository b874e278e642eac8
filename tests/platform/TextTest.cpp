#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "platform/DateTime.h"
#include "platform/Exception.h"
#include "platform/Text.h"

TEST(TextConversion, RoundTripsAndRepairsMalformedInput) {
  const std::u16string Mixed = u"Aя€😀";
  EXPECT_EQ(ToUtf8(Mixed), "Aя€😀");
  EXPECT_EQ(FromUtf8("Aя€😀"), Mixed);
  EXPECT_EQ(FromWide(ToWide(Mixed)), Mixed);

  const struct {
    std::string Bytes;
    std::u16string Text;
  } Malformed[] = {
      {"\xFF", u"\uFFFD"},
      {"a\xD0", u"a\uFFFD"},            // truncated sequence
      {"\xC0\x80", u"\uFFFD"},          // overlong NUL
      {"\xED\xA0\x80", u"\uFFFD"},      // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD"},  // beyond U+10FFFF
  };
  for (const auto& Case : Malformed) EXPECT_EQ(FromUtf8(Case.Bytes), Case.Text);
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD") << "unpaired surrogate";
}

// Caret positions cross between the library's UTF-16 units and a toolkit's
// characters; a surrogate pair is one character of two units.
TEST(TextPositions, UnitsAndCharactersMapBothWays) {
  const std::u16string Text = u"a😀я\r\nb";  // units: a, pair, я, CR, LF, b
  const struct {
    std::size_t Units;
    std::size_t Characters;
  } Same[] = {{0, 0}, {1, 1}, {3, 2}, {4, 3}, {6, 5}, {7, 6}};
  for (const auto& Case : Same) {
    EXPECT_EQ(Utf16UnitsToCharacters(Text, Case.Units), Case.Characters) << Case.Units;
    EXPECT_EQ(CharactersToUtf16Units(Text, Case.Characters), Case.Units) << Case.Characters;
  }
  EXPECT_EQ(Utf16UnitsToCharacters(Text, 2), 1u) << "inside the pair: before it";
  EXPECT_EQ(Utf16UnitsToCharacters(Text, 99), 6u) << "clamped";
  EXPECT_EQ(CharactersToUtf16Units(Text, 99), 7u) << "clamped";
  const std::u16string Unpaired = {u'x', char16_t(0xDC00), u'y'};
  EXPECT_EQ(Utf16UnitsToCharacters(Unpaired, 2), 2u) << "a lone surrogate is one character";
  EXPECT_EQ(CharactersToUtf16Units(Unpaired, 2), 2u);
}

TEST(TextFormat, FillsEachPlaceholderInOrder) {
  EXPECT_EQ(FormatText(u"Unsupported data type - %s", {u"VTYPE_R4"}), u"Unsupported data type - VTYPE_R4");
  EXPECT_EQ(FormatText(u"%s=%s, 100%%", {u"a", u"b"}), u"a=b, 100%");
  EXPECT_EQ(FormatText(u"%s and %s", {u"one"}), u"one and ");
  EXPECT_EQ(FormatText(u"trailing %", {}), u"trailing %");
}

TEST(TextTrim, RemovesBlanksAndControlCharacters) {
  EXPECT_EQ(TrimControl(u" \t\r\nabc d\n\x01"), u"abc d");
  EXPECT_EQ(TrimControl(u"   "), u"");
}

TEST(TextNumbers, Parsing) {
  const struct {
    const char16_t* Text;
    bool Ok;
    int32_t Value;
  } Ints[] = {{u"42", true, 42},         {u" -17 ", true, -17}, {u"+5", true, 5}, {u"2147483647", true, 2147483647},
              {u"2147483648", false, 0}, {u"4a", false, 0},     {u"", false, 0},  {u"+-1", false, 0},
              {u"１", false, 0}};
  for (const auto& Case : Ints) {
    int32_t Value = 0;
    EXPECT_EQ(TryParseInt32(Case.Text, Value), Case.Ok) << ToUtf8(Case.Text);
    if (Case.Ok) {
      EXPECT_EQ(Value, Case.Value);
    }
  }
  const struct {
    const char16_t* Text;
    bool Ok;
    double Value;
  } Doubles[] = {{u"1.5", true, 1.5}, {u"-0.25", true, -0.25}, {u"1e3", true, 1000}, {u"1,5", false, 0},
                 {u"nan", false, 0},  {u"inf", false, 0},      {u"1e999", false, 0}, {u".", false, 0}};
  for (const auto& Case : Doubles) {
    double Value = 0;
    EXPECT_EQ(TryParseDouble(Case.Text, Value), Case.Ok) << ToUtf8(Case.Text);
    if (Case.Ok) {
      EXPECT_DOUBLE_EQ(Value, Case.Value);
    }
  }
}

TEST(TextNumbers, GeneralFloatFormat) {
  const struct {
    double Value;
    const char* Text;
  } Cases[] = {{1.5, "1.5"},
               {-1.5, "-1.5"},
               {1e15, "1E15"},
               {999999999999999.0, "999999999999999"},
               {0.00001, "0.00001"},
               {0.0000099, "9.9E-6"},
               {1.0 / 3.0, "0.333333333333333"},
               {2.0 / 3.0, "0.666666666666667"},
               {-1e-300, "-1E-300"},
               {12345.678, "12345.678"},
               {std::nan(""), "NAN"},
               {-HUGE_VAL, "-INF"}};
  for (const auto& Case : Cases) EXPECT_EQ(ToUtf8(FloatToText(Case.Value)), Case.Text);
}

TEST(DayCountDates, EncodeAndDecode) {
  const struct {
    int Year, Month, Day, Hour, Minute, Second, Millisecond;
    double DayCount;
  } Cases[] = {
      {1899, 12, 30, 0, 0, 0, 0, 0.0},    {1900, 1, 1, 0, 0, 0, 0, 2.0},    {1899, 12, 29, 6, 0, 0, 0, -1.25},
      {2024, 3, 5, 12, 0, 0, 0, 45356.5}, {1, 1, 1, 0, 0, 0, 0, -693593.0}, {9999, 12, 31, 0, 0, 0, 0, 2958465.0},
      {2000, 2, 29, 0, 0, 0, 0, 36585.0},
  };
  for (const auto& C : Cases) {
    EXPECT_DOUBLE_EQ(EncodeDateTime(C.Year, C.Month, C.Day, C.Hour, C.Minute, C.Second, C.Millisecond), C.DayCount);
    const LocalDateTime D = DecodeDateTime(C.DayCount);
    EXPECT_EQ((std::array{D.Year, D.Month, D.Day, D.Hour, D.Minute, D.Second}),
              (std::array{C.Year, C.Month, C.Day, C.Hour, C.Minute, C.Second}));
  }
  const LocalDateTime AlmostMidnight = DecodeDateTime(45356.0 + 86399.9996 / 86400.0);
  EXPECT_EQ((std::array{AlmostMidnight.Day, AlmostMidnight.Hour}), (std::array{6, 0})) << "rounding carries";
}

TEST(DayCountDates, InvalidFieldsAndDayCounts) {
  EXPECT_THROW(EncodeDateTime(2023, 2, 29, 0, 0, 0, 0), Exception);
  EXPECT_THROW(EncodeDateTime(0, 1, 1, 0, 0, 0, 0), Exception);
  EXPECT_THROW(EncodeDateTime(2024, 1, 1, 0, 60, 0, 0), Exception);
  EXPECT_THROW(DecodeDateTime(std::nan("")), Exception);
  EXPECT_THROW(DecodeDateTime(3e6), Exception);
  EXPECT_THROW(DecodeDateTime(-1e6), Exception);
}
