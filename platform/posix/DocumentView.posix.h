#pragma once
// The Linux document window's parts below ShowDocumentWindow, for its tests:
// where the pages it does not show itself go is the caller's choice.
#include <functional>
#include <string>

#include "platform/DocumentWindow.h"
#include "platform/posix/Gtk.posix.h"

namespace os {

// Opens an address outside our window (the desktop's default application);
// raises an Exception with the reason when it cannot.
using TOutsideOpener = std::function<void(const std::string& Uri)>;

// The page in a modal WebKit window over the host's active window; a link out
// of the page's folder goes to OpenOutside instead of the window. Where no
// WebKit can be used safely in this process, the page itself goes to
// OpenOutside (InBrowser).
TDocumentShown ShowDocument(const gtk::TGtkApi& Gtk, const std::u16string& HtmlPagePath, const std::u16string& Caption,
                            const TOutsideOpener& OpenOutside);

}  // namespace os
