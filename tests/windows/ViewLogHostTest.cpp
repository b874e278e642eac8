// ViewLog as a user meets it: the host's thread calls the action and waits
// while the window shows the driver's day files; the test works the window as
// the user would, then closes it with its close button.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <string>

#include "platform/Text.h"
#include "tests/support/HostTestSupport.h"
#include "tests/support/WindowTestSupport.windows.h"
#include "tests/support/XmlSupport.h"

namespace {

using namespace hosttest;
using namespace windowtest;

constexpr std::u16string_view kClass = u"a_orvextx1c83n";

// "Оплата" in the two Cyrillic code pages the encoding list offers.
const std::string kPaymentIn1251 = "\xCE\xEF\xEB\xE0\xF2\xE0";
const std::string kPaymentIn866 = "\x8E\xAF\xAB\xA0\xE2\xA0";

void WriteFile(const std::filesystem::path& File, const std::string& Bytes, std::ios::openmode Mode) {
  std::ofstream Stream(File, std::ios::binary | Mode);
  Stream << Bytes;
  ASSERT_TRUE(Stream.good()) << File.string();
}

class ViewLogHost : public HostSession {
protected:
  void SetUp() override {
    const std::string Reason = MissingDisplayReason();
    if (!Reason.empty()) GTEST_SKIP() << Reason;
  }

  // The folder the driver names in its description, emptied of day files: the
  // window tests' Wine prefix is theirs alone.
  std::filesystem::path EmptiedLogFolder(Component& Object) {
    const CallOutcome Described = Object.Call(u"GetDescription", {});
    pugi::xml_document Document;
    Document.load_string(ToUtf8(TextOf(Described.Params.at(0))).c_str());
    const std::filesystem::path Folder(FromUtf8(Document.child("DriverDescription").attribute("LogPath").as_string()));
    for (const auto& Entry : std::filesystem::directory_iterator(Folder))
      if (Entry.path().extension() == ".log") std::filesystem::remove(Entry.path());
    return Folder;
  }
};

TEST_F(ViewLogHost, ShowsTheNewestDayFollowsItAndReadsOlderDaysInTheirCodePages) {
  Component& Object = Open(kClass);
  const std::filesystem::path Folder = EmptiedLogFolder(Object);
  const std::filesystem::path Newest = Folder / "a_orvextx1c83n_2026.01.12.log";
  WriteFile(Folder / "a_orvextx1c83n_2026.01.10.log", kPaymentIn1251 + " 1251\r\n", std::ios::trunc);
  WriteFile(Folder / "a_orvextx1c83n_2026.01.11.log", kPaymentIn866 + " 866\r\n", std::ios::trunc);
  WriteFile(Newest, ToUtf8(u"Смена открыта\r\n"), std::ios::trunc);

  CallOutcome Outcome;
  const auto Driven = DriveWindow(
      L"Просмотр лога", [&] { Outcome = Object.Call(u"DoAdditionalAction", {Text(u"ViewLog")}); },
      [&](HWND Window) {
        const auto Lists = ChildrenOfClass(Window, L"ComboBox");
        const auto Edits = ChildrenOfClass(Window, L"Edit");
        ASSERT_EQ(Lists.size(), 2u);
        ASSERT_EQ(Edits.size(), 1u);
        const HWND FileList = Lists[0];
        const HWND EncodingList = Lists[1];
        const HWND TextBox = Edits[0];
        EXPECT_EQ(ComboItems(FileList),
                  (std::vector<std::wstring>{L"a_orvextx1c83n_2026.01.10.log", L"a_orvextx1c83n_2026.01.11.log",
                                             L"a_orvextx1c83n_2026.01.12.log"}));
        EXPECT_EQ(ComboSelection(FileList), L"a_orvextx1c83n_2026.01.12.log") << "the newest day";
        EXPECT_EQ(TextOf(TextBox), L"Смена открыта\r\n");
        SaveScreenshot(Window, "view-log");

        // The user's caret stays where it was when the driver appends a line.
        ::SendMessageW(TextBox, EM_SETSEL, 3, 3);
        WriteFile(Newest, ToUtf8(u"Касса закрыта\r\n"), std::ios::app);
        EXPECT_TRUE(WaitUntil([&] { return TextOf(TextBox) == L"Смена открыта\r\nКасса закрыта\r\n"; },
                              std::chrono::seconds(2)))
            << "the appended line shows within two seconds";
        EXPECT_EQ(EditSelection(TextBox), (std::pair<DWORD, DWORD>{3, 3}));

        const struct {
          int File;
          int Encoding;
          std::wstring Text;
        } Cases[] = {
            {0, 1, L"Оплата 1251\r\n"},
            {1, 2, L"Оплата 866\r\n"},
        };
        for (const auto& Case : Cases) {
          PickComboEntry(FileList, Case.File);
          PickComboEntry(EncodingList, Case.Encoding);
          EXPECT_EQ(TextOf(TextBox), Case.Text) << ToUtf8(FromWide(ComboSelection(EncodingList)));
        }
      });
  ASSERT_TRUE(Driven.Found) << "the window did not show";
  EXPECT_FALSE(Driven.Raised) << ToUtf8(Driven.Message);
  EXPECT_TRUE(Outcome.Ok);
  EXPECT_EQ(Outcome.Return, HostValue(true)) << "closing the window ends the action";
  EXPECT_TRUE(Outcome.Errors.empty());
}

}  // namespace
