#include <fstream>

#include "LogTestSupport.h"
#include "platform/Exception.h"
#include "platform/Os.h"
#include "platform/Text.h"

namespace logtest {
namespace {

const std::string StopBanner = "============Stop log===============\r\n\r\n";

// ---------------------------------------------------------------------------
// Which calls reach the file.
struct ModeCase {
  const char* Name;
  TLogMode Mode;
  TLogLevel Level;
  const char* ExpectedLine;  // null: nothing at all, not even a folder or banner
};

class LogModeTest : public LogTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(LogModeTest, WritesOnlyTheLevelsTheModeLetsPass) {
  const ModeCase& Case = GetParam();
  SetLogMode(Case.Mode);
  WriteLog(u"Text", u"", Case.Level);
  if (Case.ExpectedLine == nullptr) {
    EXPECT_FALSE(fs::exists(VendorFolder()));
    EXPECT_FALSE(LogLevelPasses(Case.Level));
  } else {
    EXPECT_EQ(LogContent(), ExpectedStartBanner() + TimestampText(TestNow) + Case.ExpectedLine);
    EXPECT_TRUE(LogLevelPasses(Case.Level));
  }
}

const ModeCase ModeCases[] = {
    {"OffDropsErrors", TLogMode::lmOff, TLogLevel::llError, nullptr},
    {"ErrorsDropsDebug", TLogMode::lmErrors, TLogLevel::llDebug, nullptr},
    {"ErrorsDropsInfo", TLogMode::lmErrors, TLogLevel::llInfo, nullptr},
    {"ErrorsKeepsErrors", TLogMode::lmErrors, TLogLevel::llError, "\tERROR\tText\r\n"},
    {"InfoDropsDebug", TLogMode::lmInfo, TLogLevel::llDebug, nullptr},
    {"InfoKeepsInfo", TLogMode::lmInfo, TLogLevel::llInfo, "\tINFO\tText\r\n"},
    {"InfoKeepsErrors", TLogMode::lmInfo, TLogLevel::llError, "\tERROR\tText\r\n"},
    {"AllKeepsDebug", TLogMode::lmAll, TLogLevel::llDebug, "\tDEBUG\tText\r\n"},
    {"UnknownModeDropsErrors", static_cast<TLogMode>(7), TLogLevel::llError, nullptr},
    {"UnknownLevelDropped", TLogMode::lmAll, static_cast<TLogLevel>(9), nullptr},
};
INSTANTIATE_TEST_SUITE_P(Modes, LogModeTest, ::testing::ValuesIn(ModeCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// ---------------------------------------------------------------------------
// The line layout.
struct FormatCase {
  const char* Name;
  std::u16string_view Text;
  std::u16string_view Data;
  TLogLevel Level;
  const char* ExpectedAfterTimestamp;
};

class LogLineFormatTest : public LogTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(LogLineFormatTest, LaysOutLevelTextAndData) {
  const FormatCase& Case = GetParam();
  EXPECT_EQ(ToUtf8(FormatLogLine(Case.Text, Case.Data, Case.Level)),
            TimestampText(TestNow) + Case.ExpectedAfterTimestamp);
}

const FormatCase FormatCases[] = {
    {"ErrorWithData", u"Exception", u"Division by zero", TLogLevel::llError, "\tERROR\tException: \tDivision by zero"},
    {"EmptyDataLeavesOutSeparator", u"> Open", u"", TLogLevel::llDebug, "\tDEBUG\t> Open"},
    {"BlankDataKeepsSeparator", u"Info", u"   ", TLogLevel::llInfo, "\tINFO\tInfo: \t"},
    {"TrimsBlanksTabsAndBreaks", u" \t Text\r\n", u"\n data \t", TLogLevel::llDebug, "\tDEBUG\tText: \tdata"},
    {"KeepsInnerBlanks", u"a  b", u"c d", TLogLevel::llDebug, "\tDEBUG\ta  b: \tc d"},
    // A host or terminal text cannot start a line of its own, nor break a field.
    {"EscapesInnerLineBreaksAndTabs", u"a\r\nb", u"c\td\ne", TLogLevel::llDebug, "\tDEBUG\ta\\r\\nb: \tc\\td\\ne"},
    {"EscapesOtherControlCharacters", u"x\x1By\x7Fz\x01.", std::u16string_view(u"!\x00!", 3), TLogLevel::llError,
     "\tERROR\tx\\x1By\\x7Fz\\x01.: \t!\\x00!"},
    {"EscapesUnicodeLineBreaks", u"a\u2028b\u2029c\u0085d", u"", TLogLevel::llInfo,
     "\tINFO\ta\\u2028b\\u2029c\\u0085d"},
    // Nor change how a viewer shows it: format characters are invisible, yet an
    // override shows "00,0001" reversed, zero-width ones hide that texts differ.
    {"EscapesBidirectionalControls", u"Сумма: \u202E00,0001\u202C руб. \u2066a\u2067b\u2068c\u2069",
     u"x\u200E\u200F\u061C", TLogLevel::llInfo,
     "\tINFO\tСумма: \\u202E00,0001\\u202C руб. \\u2066a\\u2067b\\u2068c\\u2069: \tx\\u200E\\u200F\\u061C"},
    {"EscapesInvisibleCharacters", u"a\u200Bb\u200Cc\u200Dd\uFEFFe\u00ADf\u2060g\u180Eh", u"", TLogLevel::llInfo,
     "\tINFO\ta\\u200Bb\\u200Cc\\u200Dd\\uFEFFe\\u00ADf\\u2060g\\u180Eh"},
    {"EscapesTheOtherFormatRangesAtTheirEnds",
     u"\u0600\u0605\u06DD\u070F\u0890\u0891\u08E2\u202A\u2064\u206F\uFFF9\uFFFB", u"", TLogLevel::llInfo,
     "\tINFO\t\\u0600\\u0605\\u06DD\\u070F\\u0890\\u0891\\u08E2\\u202A\\u2064\\u206F\\uFFF9\\uFFFB"},
    // Both units of a pair go into one escape: a lone surrogate left behind would be a character of its own.
    {"EscapesFormatCharactersBeyondTheBasicPlaneWhole",
     u"a\U000E0001b\U000E0020\U000E007Fc\U000110BD\U000110CD\U00013430\U0001343F\U0001BCA0\U0001BCA3"
     u"\U0001D173\U0001D17A",
     u"", TLogLevel::llInfo,
     "\tINFO\ta\\u{E0001}b\\u{E0020}\\u{E007F}c\\u{110BD}\\u{110CD}\\u{13430}\\u{1343F}\\u{1BCA0}\\u{1BCA3}"
     "\\u{1D173}\\u{1D17A}"},
    {"UnpairedSurrogateBeforeAFormatCharacter", std::u16string_view(u"a\xD800\u200Bb", 4), u"", TLogLevel::llInfo,
     "\tINFO\ta\xEF\xBF\xBD\\u200Bb"},
    {"KeepsTheNeighboursOfFormatCharacters",
     u"\u00AC\u00AE\u0606\u200A\u2010\u2065\u2070\uFFFC\U000110BE\U00013440\U0001D172\U000E0000\U000E0080", u"",
     TLogLevel::llInfo,
     "\tINFO\t\u00AC\u00AE\u0606\u200A\u2010\u2065\u2070\uFFFC\U000110BE\U00013440\U0001D172\U000E0000\U000E0080"},
    {"KeepsNonLatinTextAndEmoji", u"Оплата مرحبا שלום 😀👍🏽", u"カード", TLogLevel::llInfo,
     "\tINFO\tОплата مرحبا שלום 😀👍🏽: \tカード"},
    {"ForgedLineStaysInsideItsLine", u"> Open", u"x\r\n2025.07.07 20:35:08.123\tERROR\tforged", TLogLevel::llDebug,
     "\tDEBUG\t> Open: \tx\\r\\n2025.07.07 20:35:08.123\\tERROR\\tforged"},
    {"EmptyText", u"", u"x", TLogLevel::llError, "\tERROR\t: \tx"},
    {"Cyrillic", u"Ошибка", u"нет связи", TLogLevel::llError, "\tERROR\tОшибка: \tнет связи"},
};
INSTANTIATE_TEST_SUITE_P(Lines, LogLineFormatTest, ::testing::ValuesIn(FormatCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(LogTest, TimestampIsZeroPadded) {
  TestNow = MakeTime(2025, 1, 2, 3, 4, 5, 6);
  const std::string Separator = ToUtf8(os::TimeSeparator());
  EXPECT_EQ(ToUtf8(FormatLogLine(u"t", u"", TLogLevel::llInfo)),
            "2025.01.02 03" + Separator + "04" + Separator + "05.006\tINFO\tt");
}

// ---------------------------------------------------------------------------
// Banners and the file itself.
TEST_F(LogTest, FileIsUtf8WithoutByteOrderMarkWithCrLf) {
  SetLogMode(TLogMode::lmAll);
  WriteLog(u"Ключ", u"", TLogLevel::llDebug);
  WriteLog(u"second", u"", TLogLevel::llDebug);
  const std::string Stamp = TimestampText(TestNow);
  EXPECT_EQ(LogContent(), ExpectedStartBanner() + Stamp + "\tDEBUG\t\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87\r\n" + Stamp +
                              "\tDEBUG\tsecond\r\n");
}

TEST_F(LogTest, SwitchingOffAppendsStopLineOnceAndDropsLaterLines) {
  SetLogMode(TLogMode::lmAll);
  WriteLog(u"line", u"", TLogLevel::llDebug);
  const std::string Written = ExpectedStartBanner() + TimestampText(TestNow) + "\tDEBUG\tline\r\n";
  SetLogMode(TLogMode::lmOff);
  EXPECT_EQ(LogContent(), Written + StopBanner);
  SetLogMode(TLogMode::lmOff);
  WriteLog(u"dropped", u"", TLogLevel::llError);
  EXPECT_EQ(LogContent(), Written + StopBanner);
  EXPECT_EQ(GetLogMode(), TLogMode::lmOff);
}

TEST_F(LogTest, SwitchingOnAgainStartsANewBannerWithTheNextLine) {
  SetLogMode(TLogMode::lmAll);
  WriteLog(u"first", u"", TLogLevel::llDebug);
  SetLogMode(TLogMode::lmOff);
  SetLogMode(TLogMode::lmAll);
  const std::string BeforeNextLine = LogContent();
  WriteLog(u"second", u"", TLogLevel::llDebug);
  EXPECT_EQ(LogContent(), BeforeNextLine + ExpectedStartBanner() + TimestampText(TestNow) + "\tDEBUG\tsecond\r\n");
}

TEST_F(LogTest, SwitchingBetweenWritingModesWritesNothing) {
  SetLogMode(TLogMode::lmAll);
  WriteLog(u"line", u"", TLogLevel::llDebug);
  const std::string Written = LogContent();
  SetLogMode(TLogMode::lmErrors);
  SetLogMode(TLogMode::lmInfo);
  EXPECT_EQ(LogContent(), Written);
}

TEST_F(LogTest, StartBannerWhileOffDoesNothing) {
  WriteStartBanner();
  WriteStopBanner();
  EXPECT_FALSE(fs::exists(VendorFolder()));
}

TEST_F(LogTest, LinesAcrossMidnightGoToTwoDayFilesWithOneBanner) {
  SetLogMode(TLogMode::lmAll);
  TestNow = MakeTime(2025, 7, 7, 23, 59, 59, 999);
  WriteLog(u"before", u"", TLogLevel::llDebug);
  const std::string BeforeStamp = TimestampText(TestNow);
  TestNow = MakeTime(2025, 7, 8, 0, 0, 0, 0);
  WriteLog(u"after", u"", TLogLevel::llDebug);
  EXPECT_EQ(LogContent("2025.07.07"), ExpectedStartBanner() + BeforeStamp + "\tDEBUG\tbefore\r\n");
  EXPECT_EQ(LogContent("2025.07.08"), TimestampText(TestNow) + "\tDEBUG\tafter\r\n");
}

TEST_F(LogTest, LinesAppendToAnExistingDayFile) {
  fs::create_directories(LogFolder());
  std::ofstream(LogFile(), std::ios::binary) << "earlier\r\n";
  SetLogMode(TLogMode::lmAll);
  WriteLog(u"line", u"", TLogLevel::llDebug);
  EXPECT_EQ(LogContent(), "earlier\r\n" + ExpectedStartBanner() + TimestampText(TestNow) + "\tDEBUG\tline\r\n");
}

// ---------------------------------------------------------------------------
// Folder and file names.
TEST_F(LogTest, LogPathNamesAndCreatesTheFolder) {
  const std::u16string Separator(1, os::PathSeparator());
  const std::u16string Folder = GetLogPath(true);
  EXPECT_EQ(Folder, LogFolder().u16string() + Separator);
  EXPECT_TRUE(fs::is_directory(LogFolder()));
  EXPECT_TRUE(EveryoneMayWriteIn(LogFolder()));
  EXPECT_EQ(GetLogPath(false), LogFile().u16string());
}

struct StemCase {
  const char* Name;
  std::u16string_view ComponentName;
  std::string ExpectedStem;
};

class LogStemTest : public LogTest, public ::testing::WithParamInterface<StemCase> {};

TEST_P(LogStemTest, FolderAndFileAreNamedAfterTheComponentsBareName) {
  SetLogComponentName(GetParam().ComponentName);
  const std::string Stem = GetParam().ExpectedStem;
  EXPECT_EQ(GetLogPath(false), (VendorFolder() / Stem / (Stem + "_2025.07.07.log")).u16string());
}

const StemCase StemCases[] = {
    {"PlainName", u"a_orvextx1c83n", "a_orvextx1c83n"},
    {"WithExtension", u"driver.dll", "driver"},
    {"WithPosixFolder", u"/opt/1c/driver.so", "driver"},
    {"WithWindowsFolder", u"C:\\1C\\AddIns\\driver.dll", "driver"},
    {"EmptyMeansTheLibrarysOwnName", u"", fs::path(TEST_PROGRAM_NAME).stem().string()},
};
INSTANTIATE_TEST_SUITE_P(Stems, LogStemTest, ::testing::ValuesIn(StemCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// ---------------------------------------------------------------------------
// Rights and failures.
TEST_F(LogTest, NewLogFolderIsOpenedToEveryUser) {
  SetLogMode(TLogMode::lmAll);
  WriteLog(u"line", u"", TLogLevel::llDebug);
  EXPECT_TRUE(EveryoneMayWriteIn(LogFolder()));
}

TEST_F(LogTest, ExistingLogFolderKeepsItsRights) {
  fs::create_directories(LogFolder());
  fs::permissions(LogFolder(), fs::perms::owner_all);
  ASSERT_FALSE(EveryoneMayWriteIn(LogFolder()));
  SetLogMode(TLogMode::lmAll);
  WriteLog(u"line", u"", TLogLevel::llDebug);
  ASSERT_TRUE(fs::exists(LogFile()));
  EXPECT_FALSE(EveryoneMayWriteIn(LogFolder()));
}

TEST_F(LogTest, UnwritableLogPlaceLosesLinesButNotTheCall) {
  // A file where the vendor folder belongs: no folder can be made there, even by root.
  std::ofstream(VendorFolder()) << "in the way";
  SetLogMode(TLogMode::lmAll);
  WriteLog(u"lost", u"", TLogLevel::llError);
  EXPECT_THROW(GetLogPath(true), Exception);
  SetLogMode(TLogMode::lmOff);
  SetLogMode(TLogMode::lmAll);

  // Once the place is usable the next line still gets its banner.
  fs::remove(VendorFolder());
  WriteLog(u"kept", u"", TLogLevel::llError);
  EXPECT_EQ(LogContent(), ExpectedStartBanner() + TimestampText(TestNow) + "\tERROR\tkept\r\n");
}

}  // namespace
}  // namespace logtest
