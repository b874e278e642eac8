#pragma once
// A window that shows one local HTML page, such as the rendered manual. What
// the page holds and where it comes from is the caller's business; the window
// only shows it.
#include <string>

namespace os {

// Where the page was shown, which decides how long its files must stay.
enum class TDocumentShown {
  // In our window, which the user has closed: the page is no longer read.
  InWindow,
  // Handed to the desktop's browser, because no embedded page could be shown
  // safely in this process: the browser reads the page after the call.
  InBrowser,
};

// Shows the page modally on the calling thread and returns when the user has
// closed the window, or at once when the page went to the desktop's browser.
// Raises an Exception with a message for the user when it cannot be shown at
// all; never aborts the process.
TDocumentShown ShowDocumentWindow(const std::u16string& HtmlPagePath, const std::u16string& Caption);

}  // namespace os
