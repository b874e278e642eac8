#include "platform/Files.h"

#include "platform/Exception.h"
#include "platform/Text.h"

namespace os {

std::u16string ReadFailureText(const std::u16string& Path) { return u"Cannot read the file " + Path; }

void CheckReadLimit(const std::u16string& Path, std::size_t Read, std::size_t Next, std::size_t MaxBytes) {
  if (Next > MaxBytes || Read > MaxBytes - Next) {
    throw Exception(ReadFailureText(Path) + u": larger than " + IntToText(static_cast<int64_t>(MaxBytes)) + u" bytes");
  }
}

}  // namespace os
