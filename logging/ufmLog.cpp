#include "logging/ufmLog.h"

#include <algorithm>
#include <utility>

#include "logging/Common.Log.h"
#include "platform/Exception.h"
#include "platform/Text.h"

namespace {

constexpr std::u16string_view kLogExtension = u".log";
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr uint32_t kCodePageByEncoding[] = {kCodePageUtf8, kCodePageCyrillicAnsi, kCodePageCyrillicOem};

char16_t AsciiLower(char16_t C) noexcept { return C >= u'A' && C <= u'Z' ? static_cast<char16_t>(C + 32) : C; }

bool LessIgnoringCase(const std::u16string& A, const std::u16string& B) {
  return std::lexicographical_compare(A.begin(), A.end(), B.begin(), B.end(),
                                      [](char16_t X, char16_t Y) { return AsciiLower(X) < AsciiLower(Y); });
}

bool ChangedSince(const os::TFileStamp& Loaded, const os::TFileStamp& Now) {
  return Loaded.LastWrite < Now.LastWrite || Loaded.Size != Now.Size;
}

}  // namespace

bool IsLogFileName(std::u16string_view Name) noexcept {
  if (Name.size() < kLogExtension.size()) return false;
  const std::u16string_view Extension = Name.substr(Name.size() - kLogExtension.size());
  return std::equal(Extension.begin(), Extension.end(), kLogExtension.begin(),
                    [](char16_t C, char16_t Lower) { return AsciiLower(C) == Lower; });
}

std::vector<std::u16string> LogFileNamesOf(std::vector<std::u16string> Entries) {
  std::erase_if(Entries, [](const std::u16string& Name) { return !IsLogFileName(Name); });
  // Names equal but for case keep a fixed order between listings.
  std::sort(Entries.begin(), Entries.end(), [](const std::u16string& A, const std::u16string& B) {
    return LessIgnoringCase(A, B) || (!LessIgnoringCase(B, A) && A < B);
  });
  return Entries;
}

uint32_t CodePageOfEncoding(int Index) noexcept {
  return Index >= 0 && Index < static_cast<int>(std::size(kCodePageByEncoding)) ? kCodePageByEncoding[Index]
                                                                                : kCodePageUtf8;
}

std::u16string DecodeLogFile(std::string_view Bytes, uint32_t CodePage) {
  if (CodePage == kCodePageUtf8 && Bytes.starts_with(kUtf8ByteOrderMark))
    Bytes.remove_prefix(kUtf8ByteOrderMark.size());
  return FromCodePage(Bytes, CodePage);
}

// A failure of any handler is the user's to read, in a message box over the
// window, which stays open.
template <typename TStep>
void TfrmLog::ShowingFailures(os::ILogViewerControls& Controls, TStep&& Step) {
  try {
    Step();
  } catch (...) {
    Controls.ShowError(CurrentExceptionMessage());
  }
}

// At start the newest day is shown.
void TfrmLog::FormCreate(os::ILogViewerControls& Controls) {
  ShowingFailures(Controls, [&] {
    FLogDirectory = GetLogPath(true);
    FillFileList(Controls);
    SelectNewestReadable(Controls);
    LoadSelectedFile(Controls);
  });
}

void TfrmLog::cbbLogFilesChange(os::ILogViewerControls& Controls) {
  ShowingFailures(Controls, [&] { LoadSelectedFile(Controls); });
}

// The folder is read again each time the list opens; until the user picks an
// entry nothing is selected, and the timer stops reloading.
void TfrmLog::cbbLogFilesDropDown(os::ILogViewerControls& Controls) {
  ShowingFailures(Controls, [&] { FillFileList(Controls); });
}

void TfrmLog::btnOpenDirClick(os::ILogViewerControls& Controls) {
  ShowingFailures(Controls, [&] { Controls.ExploreFolder(GetLogPath(true)); });
}

void TfrmLog::tmrCheckFileTimer(os::ILogViewerControls& Controls) {
  ShowingFailures(Controls, [&] { ReloadIfChanged(Controls); });
}

// Filling the list drops its selection. Without a log folder (the window's
// creation failed) there is nothing to list: an empty name would list the
// folder the host runs in. The folder is shared by every local user: whatever
// the log's writer would not trust is listed with the reason, never read.
void TfrmLog::FillFileList(os::ILogViewerControls& Controls) {
  FListed.clear();
  const std::vector<std::u16string> Names =
      FLogDirectory.empty() ? std::vector<std::u16string>() : LogFileNamesOf(os::FolderEntryNames(FLogDirectory));
  std::vector<std::u16string> Shown;
  for (const std::u16string& Name : Names) {
    const os::TDistrust Distrust = os::SharedFileDistrust(FLogDirectory + Name);
    Shown.push_back(Distrust == os::TDistrust::None ? Name : Name + u" (" + os::UnreadableText(Distrust) + u")");
    FListed.push_back({Name, Distrust, Shown.back()});
  }
  Controls.SetFileNames(Shown);
}

// Something planted under a newer day's name does not hide the real newest day.
void TfrmLog::SelectNewestReadable(os::ILogViewerControls& Controls) {
  const auto Readable = std::find_if(FListed.rbegin(), FListed.rend(),
                                     [](const TListedFile& File) { return File.Distrust == os::TDistrust::None; });
  if (Readable != FListed.rend()) Controls.SelectFileName(Readable->Shown);
}

const TfrmLog::TListedFile* TfrmLog::SelectedFile(const os::ILogViewerControls& Controls) const {
  const std::u16string Shown = Controls.SelectedFileName();
  if (Shown.empty()) return nullptr;
  const auto Found =
      std::find_if(FListed.begin(), FListed.end(), [&](const TListedFile& File) { return File.Shown == Shown; });
  return Found != FListed.end() ? &*Found : nullptr;
}

// The stamp is taken before the bytes: an append racing the read is seen by
// the next tick rather than lost, and a file that cannot be read is not tried
// (and reported) again on every tick until it changes.
void TfrmLog::LoadSelectedFile(os::ILogViewerControls& Controls) {
  const TListedFile* File = SelectedFile(Controls);
  if (File == nullptr) return;
  const std::u16string Path = FLogDirectory + File->Name;
  if (File->Distrust != os::TDistrust::None) os::RaiseUnreadable(Path, File->Distrust);
  const std::optional<os::TFileStamp> Stamp = os::FileStamp(Path);
  if (!Stamp) throw Exception(os::ReadFailureText(Path) + u": the file does not exist");
  FLogLastWriteTime = *Stamp;
  Controls.ReplaceText(
      DecodeLogFile(os::ReadSharedFile(Path, kLargestShownLogFile), CodePageOfEncoding(Controls.EncodingIndex())));
}

// A line the driver appends shows up with the caret kept where the user left it.
// An entry listed as unreadable was reported when it was chosen.
void TfrmLog::ReloadIfChanged(os::ILogViewerControls& Controls) {
  const TListedFile* File = SelectedFile(Controls);
  if (File == nullptr || File->Distrust != os::TDistrust::None) return;
  const std::optional<os::TFileStamp> Stamp = os::FileStamp(FLogDirectory + File->Name);
  if (!Stamp || !ChangedSince(FLogLastWriteTime, *Stamp)) return;
  const std::size_t Caret = Controls.CaretPosition();
  LoadSelectedFile(Controls);
  Controls.RestoreCaret(Caret);
}
