#include "logging/Common.LogFiles.h"

#include "logging/Common.BaseSecurity.h"

// Only the component's own folder is opened to everybody; the vendor folder
// keeps what it inherits.
void PrepareLogFolder(const TLogPlace& Place) {
  const std::u16string Folder = Place.FolderText();
  if (os::CreateDirectories(Folder)) GrantEveryoneFullAccess(Folder);
}

void CheckLogFile(const TLogPlace&, std::u16string_view) {}

os::AppendResult AppendToLogFile(const TLogPlace& Place, std::u16string_view FileName, std::string_view Bytes) {
  return os::AppendToFile(Place.FileText(FileName), Bytes);
}
