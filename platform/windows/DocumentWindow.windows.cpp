#include "platform/windows/DocumentWindow.windows.h"

#include "platform/DocumentWindow.h"

#if defined(_M_IX86) || defined(__i386__)
#include <float.h>

namespace {
// The browser control computes with the x87 exceptions masked, as Windows x86
// programs start; a host that unmasks them would have the control fault on
// its first page. Masked once as the library loads.
[[maybe_unused]] const unsigned kX87ExceptionsMasked = _control87(_MCW_EM, _MCW_EM);
}  // namespace
#endif

namespace os {

namespace win {

namespace {

// Designed at 120 dpi.
constexpr int ClientWidth = 633;
constexpr int ClientHeight = 425;

}  // namespace

void TDocumentWindow::Show(std::u16string_view PagePath, std::u16string_view Caption) {
  CreateFrame(L"OrvexDocumentWindow", Caption, ClientWidth, ClientHeight);
  FControl.emplace(Handle(), [this](std::u16string_view Url) { return AllowsNavigation(Url); });
  FControl->Navigate(PagePath);
  RunModal();
}

// The manual's own pages stay here; a web or mail address is the desktop's
// browser's to open, where the user has their bookmarks and their mail.
bool TDocumentWindow::AllowsNavigation(std::u16string_view Url) {
  FNavigations.emplace_back(Url);
  if (!OpensInDesktopBrowser(Url)) return true;
  OpenWithDesktop(Url);
  return false;
}

LRESULT TDocumentWindow::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_SIZE:
      if (FControl) FControl->Fit(LOWORD(LParam), HIWORD(LParam));
      return 0;
    // The control goes while its windows still have their parent.
    case WM_DESTROY: FControl.reset(); return 0;
    default: return TWindow::HandleMessage(Message, WParam, LParam);
  }
}

bool TDocumentWindow::ControlTakesMessage(MSG& Message) noexcept { return FControl && FControl->TakesKey(Message); }

}  // namespace win

// A thread whose COM the host made multithreaded cannot hold the control: the
// manual then goes to the desktop's browser, which the user can still read.
TDocumentShown ShowDocumentWindow(const std::u16string& HtmlPagePath, const std::u16string& Caption) {
  const win::TOleThread Ole;
  if (!Ole.Available()) {
    win::OpenWithDesktop(HtmlPagePath);
    return TDocumentShown::InBrowser;
  }
  win::TDocumentWindow Window;
  Window.Show(HtmlPagePath, Caption);
  return TDocumentShown::InWindow;
}

}  // namespace os
