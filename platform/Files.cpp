#include "platform/Files.h"

#include "platform/Exception.h"
#include "platform/Text.h"

namespace os {

namespace {

std::u16string_view DistrustReason(TDistrust Distrust) {
  switch (Distrust) {
    case TDistrust::None: break;
    case TDistrust::SymbolicLink: return u"это символическая ссылка";
    case TDistrust::NotRegularFile: return u"это не обычный файл";
    case TDistrust::SeveralNames: return u"у файла несколько имён (жёсткая ссылка)";
    case TDistrust::OtherUser: return u"файл принадлежит другому пользователю";
    case TDistrust::OtherUserOpenToOthers: return u"файл принадлежит другому пользователю, и менять его могут другие";
  }
  return u"причина неизвестна";
}

}  // namespace

std::u16string ReadFailureText(const std::u16string& Path) { return u"Cannot read the file " + Path; }

void CheckReadLimit(const std::u16string& Path, std::size_t Read, std::size_t Next, std::size_t MaxBytes) {
  if (Next > MaxBytes || Read > MaxBytes - Next) {
    throw Exception(ReadFailureText(Path) + u": larger than " + IntToText(static_cast<int64_t>(MaxBytes)) + u" bytes");
  }
}

std::u16string UnreadableText(TDistrust Distrust) {
  return u"файл не читается: " + std::u16string(DistrustReason(Distrust));
}

void RaiseUnreadable(const std::u16string& Path, TDistrust Distrust) {
  throw Exception(Path + u": " + UnreadableText(Distrust));
}

}  // namespace os
