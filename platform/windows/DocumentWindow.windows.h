#pragma once
// The document window's view on Windows: the system's web-browser control
// filling a window of ours.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/windows/BrowserControl.windows.h"
#include "platform/windows/Window.windows.h"

namespace os::win {

// Needs OLE on the thread (a TOleThread that is Available) for its life.
class TDocumentWindow final : public TWindow {
public:
  // Shows the page modally and returns when the user has closed the window,
  // the control and its windows gone. Raises an Exception naming what failed.
  void Show(std::u16string_view PagePath, std::u16string_view Caption);

  // Every address the control set out to open while shown, in order, those
  // handed to the desktop's browser too.
  const std::vector<std::u16string>& Navigations() const noexcept { return FNavigations; }

private:
  bool AllowsNavigation(std::u16string_view Url);
  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;
  bool ControlTakesMessage(MSG& Message) noexcept override;

  std::optional<TBrowserControl> FControl;
  std::vector<std::u16string> FNavigations;
};

}  // namespace os::win
