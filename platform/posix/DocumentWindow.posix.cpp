#include "platform/DocumentWindow.h"

#include "platform/Exception.h"

namespace os {

// This build has no document window yet: the caller gets the reason, the page stays unshown.
TDocumentShown ShowDocumentWindow(const std::u16string&, const std::u16string& Caption) {
  throw Exception(u"Окно \"" + Caption + u"\" недоступно в этой сборке");
}

}  // namespace os
