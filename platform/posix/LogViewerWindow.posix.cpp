#include "platform/LogViewerWindow.h"

#include "platform/Exception.h"

namespace os {

void ShowLogViewerWindow(ILogViewerHandlers&) {
  throw Exception(std::u16string(u"Окно просмотра лога недоступно в этой сборке"));
}

}  // namespace os
