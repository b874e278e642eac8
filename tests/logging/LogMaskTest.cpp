// What the log never shows: card numbers found by the Luhn net, the values a
// host call marks, and the writer applying both to every line.
#include <span>

#include "LogTestSupport.h"
#include "logging/Common.LogMask.h"
#include "platform/Text.h"

namespace logtest {
namespace {

struct MaskCase {
  const char* Name;
  std::u16string_view Text;
  std::u16string_view Expected;
};

void ExpectMasked(std::u16string (*Mask)(std::u16string_view), std::span<const MaskCase> Cases) {
  for (const MaskCase& Case : Cases) EXPECT_EQ(ToUtf8(Mask(Case.Text)), ToUtf8(Case.Expected)) << Case.Name;
}

const MaskCase LuhnNetCases[] = {
    {"Sixteen", u"4111111111111111", u"411111******1111"},
    {"FailsLuhn", u"4111111111111112", u"4111111111111112"},
    {"TwelveAreTooFew", u"411111111117", u"411111111117"},
    {"Thirteen", u"4111111111119", u"411111***1119"},
    {"Nineteen", u"4111111111111111110", u"411111*********1110"},
    {"TwentyAreTooMany", u"41111111111111111115", u"41111111111111111115"},
    // 94111111111111111 fails Luhn; the valid 4111111111111111 inside it is no number of its own.
    {"ValidPartOfALongerRun", u"94111111111111111", u"94111111111111111"},
    {"LettersAround", u"PAN4111111111111111EXP", u"PAN411111******1111EXP"},
    {"CyrillicAround", u"Карта5555555555554444.", u"Карта555555******4444."},
    {"SeveralInOneText", u"[4111111111111111; 5555555555554444; 4111111111111112]",
     u"[411111******1111; 555555******4444; 4111111111111112]"},
    {"ReceiptLines", u"СУММА: 123,45 руб.\r\nКАРТА: 5555555555554444\r\nRRN: 123456789012",
     u"СУММА: 123,45 руб.\r\nКАРТА: 555555******4444\r\nRRN: 123456789012"},
    // Printed in groups, as receipts and people write them.
    {"GroupsOfFour", u"Карта 4111 1111 1111 1111 принята", u"Карта 4111 11** **** 1111 принята"},
    {"HyphenatedGroups", u"3782-822463-10005", u"3782-82****-*0005"},
    {"GroupsFollowedByMoreDigits", u"4111 1111 1111 1111 12/28 123", u"4111 11** **** 1111 12/28 123"},
    {"GroupsFailingLuhn", u"4111 1111 1111 1112", u"4111 1111 1111 1112"},
    // Short groups are amounts and dates, never joined into a number.
    {"AmountWithThousands", u"1 234 567 890 123 4", u"1 234 567 890 123 4"},
    {"DateAndTime", u"10.12.2026 14:10:26", u"10.12.2026 14:10:26"},
    {"Empty", u"", u""},
};
TEST(LuhnNet, MasksWholeDigitRunsThatAreCardNumbers) { ExpectMasked(&MaskLogText, LuhnNetCases); }

// Test tracks as terminals echo them. Of a track only the card number's first
// six and last four digits remain: name, expiry, service code and
// discretionary data become one mask, whatever their length.
const MaskCase TrackCases[] = {
    {"Track2", u";2200000000000004=29121011234567890123?", u";220000******0004=********?"},
    {"Track2WithoutSentinels", u"2200000000000004=29121011234567890123", u"220000******0004=********"},
    {"Track2WithD", u"2200000000000004D29121011234567890123", u"220000******0004D********"},
    {"Track2ExpiryOnly", u";2200000000000004=2912?", u";220000******0004=********?"},
    // The shape tells a track, not Luhn: the number is masked all the same.
    {"Track2FailingLuhn", u";2200000000000005=29121011234567890123?", u";220000******0005=********?"},
    {"Track2TwelveDigits", u";220000000004=2912101123?", u";220000**0004=********?"},
    {"Track2NineteenDigits", u";2200000000000000004=2912101?", u";220000*********0004=********?"},
    {"Track1", u"%B2200000000000004^IVANOV/IVAN^2912101123456789?", u"%B220000******0004^********?"},
    {"Track1WithoutSentinels", u"B2200000000000004^IVANOV/IVAN^2912101123456789", u"B220000******0004^********"},
    {"Track1BlanksUpToTheEndSentinel", u"%B2200000000000005^IVANOV/IVAN I.   ^2912101 000 123?",
     u"%B220000******0005^********?"},
    {"Track1WithoutEndSentinelEndsAtABlank", u"B2200000000000005^IVANOV/IVAN^2912101123456789 OK",
     u"B220000******0005^******** OK"},
    {"TerminalText", u"Карта прочитана: %B2200000000000004^IVANOV/IVAN^2912101123456789?, ждите",
     u"Карта прочитана: %B220000******0004^********?, ждите"},
    {"Receipt", u"ОПЛАТА\r\nТРЕК 2: ;2200000000000004=29121011234567890123?\r\nСУММА: 100,00",
     u"ОПЛАТА\r\nТРЕК 2: ;220000******0004=********?\r\nСУММА: 100,00"},
    {"TwoTracksInOneLine", u"%B2200000000000004^IVANOV/IVAN^2912101123456789?;2200000000000004=29121011234567890123?",
     u"%B220000******0004^********?;220000******0004=********?"},
    {"TrackAtTheEndWithoutEndSentinel", u"Трек: ;2200000000000005=29121011234567890123",
     u"Трек: ;220000******0005=********"},
    // Near misses: ordinary text after a number.
    {"ShortNumberAndAKey", u"Чек 1234 ref=2912", u"Чек 1234 ref=2912"},
    {"ElevenDigitsAreNoCardNumber", u"22000000005=29121011", u"22000000005=29121011"},
    {"TwentyDigitsAreNoCardNumber", u"22000000000000000005=2912", u"22000000000000000005=2912"},
    {"ExpiryTooShort", u"2200000000000005=291", u"2200000000000005=291"},
    {"Track1WithoutSecondCaret", u"B2200000000000005^IVANOV/IVAN", u"B2200000000000005^IVANOV/IVAN"},
    {"Track1NameTooLong", u"B2200000000000005^KONSTANTINOPOLSKAYA/EKATERINA^2912",
     u"B2200000000000005^KONSTANTINOPOLSKAYA/EKATERINA^2912"},
    {"Date", u"29.12.2026 14:10", u"29.12.2026 14:10"},
    {"AmountLine", u"СУММА=1500,00 RUB, КОД=123456", u"СУММА=1500,00 RUB, КОД=123456"},
};
TEST(TrackMask, KeepsOfATrackOnlyWhatACardNumberMayShow) { ExpectMasked(&MaskLogText, TrackCases); }

const MaskCase CardNumberCases[] = {
    {"Sixteen", u"2200001234567890", u"220000******7890"},
    {"Eleven", u"12345678901", u"123456*8901"},
    {"TenAreMaskedWhole", u"1234567890", u"**********"},
    {"ShortTextMaskedWhole", u"card-in", u"*******"},
    {"Empty", u"", u""},
    {"AlreadyMasked", u"220000******7890", u"220000******7890"},
    {"GroupsKeepTheirBlanks", u"4111 1111 1111 1111", u"4111 11** **** 1111"},
};
TEST(CardNumberMask, KeepsTheFirstSixAndLastFourDigitsAtMost) { ExpectMasked(&MaskCardNumber, CardNumberCases); }

// ---------------------------------------------------------------------------
// A failure text quoting the call's values; the card number fails Luhn, so
// only the scope can know it.
constexpr std::u16string_view kFailure = u"password s3cr3t refused for card 1234567890123456";

TEST(LogMaskScope, MasksTheCallsValuesWhereverTheyStandWhileItLives) {
  {
    TLogMaskScope Masks;
    Masks.AddSecret(u"s3cr3t");
    Masks.AddCardNumber(u"1234567890123456");
    EXPECT_EQ(ToUtf8(MaskLogText(kFailure)), "password ******** refused for card 123456******3456");
  }
  EXPECT_EQ(MaskLogText(kFailure), kFailure);
}

TEST(LogMaskScope, EverySecretHasTheSameMask) {
  for (const std::u16string_view Secret : {u"1", u"s3cr3t", u"a much longer pass phrase"}) {
    TLogMaskScope Masks;
    Masks.AddSecret(Secret);
    EXPECT_EQ(ToUtf8(MaskLogText(u"[" + std::u16string(Secret) + u"]")), "[********]") << ToUtf8(Secret);
  }
}

TEST(LogMaskScope, EmptyValuesHaveNothingToMask) {
  TLogMaskScope Masks;
  Masks.AddSecret(u"");
  Masks.AddCardNumber(u"");
  EXPECT_EQ(MaskLogText(kFailure), kFailure);
}

TEST(LogMaskScope, AnInnerCallsLinesMaskTheOuterCallsValuesToo) {
  TLogMaskScope Outer;
  Outer.AddSecret(u"s3cr3t");
  {
    TLogMaskScope Inner;
    Inner.AddCardNumber(u"1234567890123456");
    EXPECT_EQ(ToUtf8(MaskLogText(kFailure)), "password ******** refused for card 123456******3456");
  }
  EXPECT_EQ(ToUtf8(MaskLogText(kFailure)), "password ******** refused for card 1234567890123456");
}

// Masking one value after the other would leave the tail of the second in clear.
TEST(LogMaskScope, OverlappingValuesAreMaskedAsOneStretch) {
  TLogMaskScope Masks;
  Masks.AddCardNumber(u"12345678901234");
  Masks.AddCardNumber(u"90123456789012");
  EXPECT_EQ(ToUtf8(MaskLogText(u"1234567890123456789012")), "123456************9012");
}

// A mask that cuts a longer run of digits, or an escape's digits before one,
// can leave a run that reads as a card number or a track's only in the written
// line: the writer masks it there too, so that no line shows one.
struct WrittenRunCase {
  const char* Name;
  std::u16string_view CardNumber;
  std::u16string_view Secret;
  std::u16string_view Text;
  std::u16string_view Written;
};
const WrittenRunCase WrittenRunCases[] = {
    // 94111111111111111 fails Luhn; once its 9 is masked the line shows 4111111111111111.
    {"CutByAShortCardNumber", u"9", u"", u"[9; 94111111111111111]", u"[*; *411111******1111]"},
    {"CutByASecret", u"", u"0", u"4485047666846668567", u"4485********476668****8567"},
    {"PieceTooShort", u"9", u"", u"[9; 941111111111]", u"[*; *41111111111]"},
    // 22222222222222 fails Luhn; written after the escape \u0099 it reads 009922222222222222.
    {"AfterAnEscape", u"", u"",
     u"\u0099"
     u"22222222222222",
     u"\\u009922********2222"},
    // 2200000000000000004=29121011 is a track, but its run of 21 digits, 77 included, is no card number.
    {"TrackCutByASecret", u"", u"77", u"772200000000000000004=29121011", u"********220000*********0004=********"},
    {"EscapeBeforeTooFew", u"", u"",
     u"\u0099"
     u"2222",
     u"\\u00992222"},
};
TEST(LogMaskScope, NoWrittenLineShowsACardNumberThatMasksOrEscapesMade) {
  for (const WrittenRunCase& Case : WrittenRunCases) {
    TLogMaskScope Masks;
    Masks.AddCardNumber(Case.CardNumber);
    Masks.AddSecret(Case.Secret);
    const std::string Line = ToUtf8(FormatLogLine(u"> Call", Case.Text, TLogLevel::llDebug));
    EXPECT_EQ(Line.substr(Line.find(": \t") + 3), ToUtf8(Case.Written)) << Case.Name;
  }
}

// ---------------------------------------------------------------------------
TEST_F(LogTest, TheWriterMasksTheTextAndTheDataOfEveryLine) {
  SetLogMode(TLogMode::lmAll);
  {
    TLogMaskScope Masks;
    Masks.AddSecret(u"Pa55");
    WriteLog(u"> Pay 4111111111111111", u"password Pa55, card 5555555555554444", TLogLevel::llDebug);
  }
  EXPECT_EQ(LogContent(), ExpectedStartBanner() + TimestampText(TestNow) +
                              "\tDEBUG\t> Pay 411111******1111: \tpassword ********, card 555555******4444\r\n");
}

}  // namespace
}  // namespace logtest
