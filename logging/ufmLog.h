#pragma once
// The log viewer's logic: which day files the folder holds, which one is shown
// and read in which encoding, and when it is read again. It knows no toolkit:
// the window (platform/LogViewerWindow.h) shows what it decides and reports
// what the user does.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Files.h"
#include "platform/LogViewerWindow.h"

class TfrmLog final : public os::ILogViewerHandlers {
public:
  void FormCreate(os::ILogViewerControls& Controls) override;
  void cbbLogFilesChange(os::ILogViewerControls& Controls) override;
  void cbbLogFilesDropDown(os::ILogViewerControls& Controls) override;
  void btnOpenDirClick(os::ILogViewerControls& Controls) override;
  void tmrCheckFileTimer(os::ILogViewerControls& Controls) override;

private:
  // A day file as the list shows it: one the viewer will not read (a link, a
  // device, another user's file planted in the shared folder) says why.
  struct TListedFile {
    std::u16string Name;
    os::TDistrust Distrust = os::TDistrust::None;
    std::u16string Shown;
  };

  void FillFileList(os::ILogViewerControls& Controls);
  void SelectNewestReadable(os::ILogViewerControls& Controls);
  const TListedFile* SelectedFile(const os::ILogViewerControls& Controls) const;
  void LoadSelectedFile(os::ILogViewerControls& Controls);
  void ReloadIfChanged(os::ILogViewerControls& Controls);
  template <typename TStep>
  void ShowingFailures(os::ILogViewerControls& Controls, TStep&& Step);

  std::u16string FLogDirectory;      // ends with the path separator
  std::vector<TListedFile> FListed;  // what the list shows, in its order
  os::TFileStamp FLogLastWriteTime;  // the shown file's stamp when it was loaded
};

// A day file as the list takes it: the extension ".log" in any letter case.
bool IsLogFileName(std::u16string_view Name) noexcept;
// The folder's entries the list shows, sorted without regard to letter case, so
// that one component's newest day comes last.
std::vector<std::u16string> LogFileNamesOf(std::vector<std::u16string> Entries);
// The code page of the encoding list's position: 0 UTF-8, 1 ANSI (1251), 2 OEM
// (866); UTF-8 when nothing is chosen.
uint32_t CodePageOfEncoding(int Index) noexcept;
// A day file's bytes read in that code page; a byte-order mark of that same
// encoding at the start is skipped, any other bytes are decoded as they are.
std::u16string DecodeLogFile(std::string_view Bytes, uint32_t CodePage);

// The largest day file the window reads: far beyond any day's log, small
// enough for the host's memory.
inline constexpr std::size_t kLargestShownLogFile = std::size_t{256} * 1024 * 1024;
