// The log viewer's logic against controls that only record: the file list,
// the day shown, the encodings, reloading with the caret kept, and failures
// that become message boxes while the window stays open.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "LogTestSupport.h"
#include "RecordingControls.h"
#include "logging/ufmLog.h"
#include "platform/Text.h"

namespace logtest {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

void WriteBytes(const fs::path& File, const std::string& Bytes) {
  std::ofstream Out(File, std::ios::binary | std::ios::trunc);
  Out << Bytes;
}

void AppendBytes(const fs::path& File, const std::string& Bytes) {
  std::ofstream Out(File, std::ios::binary | std::ios::app);
  Out << Bytes;
}

// ---------------------------------------------------------------------------
TEST(LogViewerNames, OnlyTheLogExtensionInAnyCaseIsListed) {
  struct TCase {
    std::u16string Name;
    bool Listed;
  };
  const TCase Cases[] = {{u"a_orvextx1c83n_2025.07.07.log", true},
                         {u"OLD.LOG", true},
                         {u"mixed.LoG", true},
                         {u".log", true},
                         {u"notes.txt", false},
                         {u"a.log.bak", false},
                         {u"log", false},
                         {u"a.logx", false},
                         {u"", false}};
  for (const TCase& Case : Cases) EXPECT_EQ(IsLogFileName(Case.Name), Case.Listed) << ToUtf8(Case.Name);
}

TEST(LogViewerNames, SortedWithoutRegardToCaseSoTheNewestDayOfAComponentComesLast) {
  EXPECT_THAT(
      LogFileNamesOf({u"b_2025.07.08.log", u"B_2025.07.07.LOG", u"a.txt", u"A_2025.07.09.log", u"b_2025.07.06.log"}),
      ElementsAre(u"A_2025.07.09.log", u"b_2025.07.06.log", u"B_2025.07.07.LOG", u"b_2025.07.08.log"));
}

TEST(LogViewerEncodings, EachListPositionReadsItsCodePageAndOnlyItsOwnByteOrderMarkIsSkipped) {
  struct TCase {
    const char* Name;
    int Encoding;
    std::string Bytes;
    std::u16string Text;
  };
  const TCase Cases[] = {
      {"utf-8", 0, "\xD0\x9B\xD0\xBE\xD0\xB3", u"Лог"},
      {"utf-8 after its byte-order mark", 0, "\xEF\xBB\xBF\xD0\x9B\xD0\xBE\xD0\xB3", u"Лог"},
      {"nothing chosen reads utf-8", -1, "\xEF\xBB\xBF\xD0\x9B", u"Л"},
      {"malformed utf-8", 0,
       "a\xFF"
       "b",
       u"a\uFFFDb"},
      {"ansi", 1, "\xCB\xEE\xE3 \xB9", u"Лог №"},
      {"ansi keeps the bytes of a utf-8 mark", 1, "\xEF\xBB\xBF", u"п»ї"},
      {"oem", 2, "\x8B\xAE\xA3 \xFC", u"Лог №"},
      {"oem box drawing", 2, "\xC9\xCD\xBB", u"╔═╗"},
  };
  for (const TCase& Case : Cases) {
    EXPECT_EQ(DecodeLogFile(Case.Bytes, CodePageOfEncoding(Case.Encoding)), Case.Text) << Case.Name;
  }
}

// ---------------------------------------------------------------------------
class LogViewerTest : public LogTest {
protected:
  void SetUp() override {
    LogTest::SetUp();
    fs::create_directories(LogFolder());
  }
  fs::path InFolder(const std::string& Name) const { return LogFolder() / Name; }
  std::u16string FolderText() const { return (LogFolder() / "").u16string(); }

  TfrmLog Form;
  TRecordingControls Controls;
};

TEST_F(LogViewerTest, AnEmptyFolderShowsNothingAndTheTimerDoesNothing) {
  Form.FormCreate(Controls);
  Form.tmrCheckFileTimer(Controls);
  EXPECT_THAT(Controls.Files, IsEmpty());
  EXPECT_EQ(Controls.Selected, u"");
  EXPECT_EQ(Controls.Loads, 0);
  EXPECT_THAT(Controls.Errors, IsEmpty());
}

TEST_F(LogViewerTest, EntriesWithTheLogExtensionAreListedFoldersAsUnreadableAndTheLastReadableIsSelected) {
  WriteBytes(LogFile("2025.07.06"), "older day\r\n");
  WriteBytes(LogFile("2025.07.07"), "newest day\r\n");
  WriteBytes(InFolder("notes.txt"), "not a log");
  WriteBytes(InFolder("ARCHIVE.LOG"), "upper case");
  fs::create_directory(InFolder("old.log"));

  Form.FormCreate(Controls);

  EXPECT_THAT(Controls.Files, ElementsAre(u"a_orvextx1c83n_2025.07.06.log", u"a_orvextx1c83n_2025.07.07.log",
                                          u"ARCHIVE.LOG", u"old.log (файл не читается: это не обычный файл)"));
  EXPECT_EQ(Controls.Selected, u"ARCHIVE.LOG");
  EXPECT_EQ(Controls.Text, u"upper case");
  EXPECT_THAT(Controls.Errors, IsEmpty());
  // Chosen, the folder is not read: a message, and the text stays.
  Controls.Selected = Controls.Files.back();
  Form.cbbLogFilesChange(Controls);
  EXPECT_THAT(Controls.Errors, ElementsAre(Mentions(u"old.log: файл не читается: это не обычный файл")));
  EXPECT_EQ(Controls.Text, u"upper case");
}

TEST_F(LogViewerTest, WithOneComponentTheLatestDateIsShownFromItsBeginning) {
  WriteBytes(LogFile("2025.07.06"), "older day\r\n");
  WriteBytes(LogFile("2025.07.07"), "\xEF\xBB\xBFnewest day\r\n");
  Form.FormCreate(Controls);
  EXPECT_EQ(Controls.Selected, u"a_orvextx1c83n_2025.07.07.log");
  EXPECT_EQ(Controls.Text, u"newest day\r\n");
  EXPECT_EQ(Controls.Caret, 0u);
  EXPECT_THAT(Controls.Errors, IsEmpty());
}

TEST_F(LogViewerTest, SwitchingTheEncodingReloadsTheSameFileInThatCodePage) {
  WriteBytes(LogFile(), "\xCB\xEE\xE3");  // "Лог" in code page 1251; in 866 the same bytes read "╦юу"
  Form.FormCreate(Controls);
  EXPECT_EQ(Controls.Text, u"\uFFFD\uFFFD\uFFFD");
  Controls.Encoding = 1;
  Form.cbbLogFilesChange(Controls);
  EXPECT_EQ(Controls.Text, u"Лог");
  Controls.Encoding = 2;
  Form.cbbLogFilesChange(Controls);
  EXPECT_EQ(Controls.Text, u"╦юу");
}

TEST_F(LogViewerTest, AnAppendedLineIsShownOnTheNextTickWithTheCaretKept) {
  WriteBytes(LogFile(), "first line\r\n");
  Form.FormCreate(Controls);
  Controls.Caret = 5;

  Form.tmrCheckFileTimer(Controls);
  EXPECT_EQ(Controls.Loads, 1) << "reloaded an unchanged file";

  AppendBytes(LogFile(), "second line\r\n");
  Form.tmrCheckFileTimer(Controls);
  EXPECT_EQ(Controls.Text, u"first line\r\nsecond line\r\n");
  EXPECT_EQ(Controls.Caret, 5u);
}

// A coarse file-system clock can leave the time unchanged by an append.
TEST_F(LogViewerTest, AGrowingFileIsReloadedEvenWhenItsLastWriteTimeDidNotMove) {
  WriteBytes(LogFile(), "first line\r\n");
  const auto Written = fs::last_write_time(LogFile());
  Form.FormCreate(Controls);
  AppendBytes(LogFile(), "second line\r\n");
  fs::last_write_time(LogFile(), Written);
  Form.tmrCheckFileTimer(Controls);
  EXPECT_EQ(Controls.Text, u"first line\r\nsecond line\r\n");
}

TEST_F(LogViewerTest, OpeningTheListWithoutChoosingStopsReloadingAndKeepsTheText) {
  WriteBytes(LogFile("2025.07.06"), "older day\r\n");
  WriteBytes(LogFile(), "newest day\r\n");
  Form.FormCreate(Controls);
  WriteBytes(LogFile("2025.07.08"), "a new day\r\n");

  Form.cbbLogFilesDropDown(Controls);
  EXPECT_THAT(Controls.Files, ElementsAre(u"a_orvextx1c83n_2025.07.06.log", u"a_orvextx1c83n_2025.07.07.log",
                                          u"a_orvextx1c83n_2025.07.08.log"));
  EXPECT_EQ(Controls.Selected, u"");
  AppendBytes(LogFile(), "more\r\n");
  Form.tmrCheckFileTimer(Controls);
  EXPECT_EQ(Controls.Text, u"newest day\r\n");

  Controls.Selected = u"a_orvextx1c83n_2025.07.06.log";
  Form.cbbLogFilesChange(Controls);
  EXPECT_EQ(Controls.Text, u"older day\r\n");
}

TEST_F(LogViewerTest, TheFolderButtonExploresTheLogFolder) {
  Form.FormCreate(Controls);
  Form.btnOpenDirClick(Controls);
  EXPECT_THAT(Controls.Explored, ElementsAre(FolderText()));
}

// Each failure is a message box; the logic never raises into the window.
TEST_F(LogViewerTest, AFileGoneBetweenListingAndLoadingIsAMessageAndTheWindowGoesOn) {
  WriteBytes(LogFile(), "day\r\n");
  Form.FormCreate(Controls);
  fs::remove(LogFile());
  Form.cbbLogFilesChange(Controls);
  ASSERT_THAT(Controls.Errors, ElementsAre(Mentions(u"does not exist")));
  EXPECT_EQ(Controls.Text, u"day\r\n");
  Form.tmrCheckFileTimer(Controls);
  EXPECT_EQ(Controls.Errors.size(), 1u) << "the timer reported a missing file";
}

TEST_F(LogViewerTest, AFailedCreationIsAMessageAndLeavesTheWindowEmpty) {
  fs::remove_all(VendorFolder());
  WriteBytes(VendorFolder(), "a file where the folder belongs");
  Form.FormCreate(Controls);
  EXPECT_EQ(Controls.Errors.size(), 1u);
  // Without a folder the list stays empty: no listing of whatever folder the
  // host happens to run in.
  Form.cbbLogFilesDropDown(Controls);
  Form.tmrCheckFileTimer(Controls);
  EXPECT_THAT(Controls.Files, IsEmpty());
  EXPECT_EQ(Controls.Errors.size(), 1u);
}

// The timer goes on while a message box waits for the user.
TEST_F(LogViewerTest, AnUnreadableDayFileIsReportedOnceNotOnEveryTick) {
  WriteBytes(LogFile(), "day\r\n");
  Form.FormCreate(Controls);
  fs::remove(LogFile());
  fs::create_directory(LogFile());
  Controls.WhileErrorShown = [&] { Form.tmrCheckFileTimer(Controls); };
  Form.tmrCheckFileTimer(Controls);
  Form.tmrCheckFileTimer(Controls);
  EXPECT_EQ(Controls.Errors.size(), 1u);
}

}  // namespace
}  // namespace logtest
