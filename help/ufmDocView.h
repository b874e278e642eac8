#pragma once
// The window the manual is read in: one local HTML page, modal, under the
// caption of the action that opened it. Drawing it is the platform's business
// (platform/DocumentWindow.h: the system's browser control on Windows,
// WebKitGTK on Linux).
#include <string>

#include "platform/DocumentWindow.h"

class TfrmDocView {
public:
  TfrmDocView(std::u16string AHtmlFilePath, std::u16string ACaption);

  // Returns when the user has closed the window, or at once when the page went
  // to the desktop's browser; says which, since the page's files must outlive
  // the call in the second case.
  os::TDocumentShown ShowModal() const;

private:
  std::u16string FHtmlFilePath;
  std::u16string FCaption;
};
