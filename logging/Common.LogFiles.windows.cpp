#include "logging/Common.LogFiles.h"

#include "logging/Common.BaseSecurity.h"

// Only the component's own folder is opened to everybody; the vendor folder
// keeps what it inherits.
void PrepareLogFolder(const TLogPlace& Place) {
  const std::u16string Folder = Place.FolderText();
  if (os::CreateDirectories(Folder)) GrantEveryoneFullAccess(Folder);
}

void CheckLogFile(const TLogPlace&, std::u16string_view) {}

// The day file is opened for each line: it is held denying write access to
// other openers, so a file kept open would shut other processes' lines out.
os::AppendResult AppendToLogFile(const TLogPlace& Place, std::u16string_view FileName, std::string_view Bytes) {
  return os::AppendToFile(Place.FileText(FileName), Bytes);
}

bool AppendToKeptLogFile(std::string_view) { return false; }

void CloseLogFile() noexcept {}
