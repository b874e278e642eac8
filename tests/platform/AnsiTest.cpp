#include <gtest/gtest.h>

#include "platform/Text.h"

// Windows converts with the system's code page, which the tests cannot choose;
// only what holds for every code page is checked there.
TEST(AnsiText, AsciiPassesUnchanged) {
  EXPECT_EQ(ToAnsi(u"PST;0xDF 123"), "PST;0xDF 123");
  EXPECT_EQ(FromAnsi("PST;0xDF 123"), u"PST;0xDF 123");
  EXPECT_EQ(ToAnsi(u""), "");
  EXPECT_EQ(FromAnsi(""), u"");
}

#ifndef _WIN32
TEST(AnsiText, CodePage1251) {
  const struct {
    std::u16string Text;
    std::string Bytes;
  } Cases[] = {
      {u"АЯаяЁё", "\xC0\xDF\xE0\xFF\xA8\xB8"},
      {u"№€—«»", "\xB9\x88\x97\xAB\xBB"},
      {u"ЂЏђџЎўІіЇїҐґЄє", "\x80\x8F\x90\x9F\xA1\xA2\xB2\xB3\xAF\xBF\xA5\xB4\xAA\xBA"},
      {u"\u00A0\u00AD\u2122", "\xA0\xAD\x99"},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(ToAnsi(Case.Text), Case.Bytes) << ToUtf8(Case.Text);
    EXPECT_EQ(FromAnsi(Case.Bytes), Case.Text) << ToUtf8(Case.Text);
  }
}

TEST(AnsiText, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(ToAnsi(u"aéb中"), "a?b?");
  EXPECT_EQ(ToAnsi(u"x😀y"), "x?y") << "one character outside the basic plane is one byte";
  EXPECT_EQ(ToAnsi(std::u16string(1, u'\xD800')), "?");
}

TEST(AnsiText, EveryByteRoundTrips) {
  std::string All;
  for (int B = 1; B < 256; ++B) All += static_cast<char>(B);
  EXPECT_EQ(ToAnsi(FromAnsi(All)), All);
}
#endif
