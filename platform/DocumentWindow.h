#pragma once
// A window that shows one local HTML page, such as the rendered manual. What
// the page holds and where it comes from is the caller's business; the window
// only shows it.
#include <string>

namespace os {

// Shows the page modally on the calling thread and returns when the user has
// closed the window. Raises an Exception with a message for the user when no
// window can be shown at all; never aborts the process.
void ShowDocumentWindow(const std::u16string& HtmlPagePath, const std::u16string& Caption);

}  // namespace os
