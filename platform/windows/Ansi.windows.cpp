#include <windows.h>

#include <climits>

#include "platform/Exception.h"
#include "platform/Text.h"

// The system's own ANSI code page, as every other program on the cash
// register's machine uses it; unmappable characters become its default one.
namespace {

int CheckedLength(std::size_t Size) {
  if (Size > static_cast<std::size_t>(INT_MAX)) throw Exception(std::string_view("The text is too long to convert"));
  return static_cast<int>(Size);
}

std::u16string FromMultiByte(std::string_view Bytes, UINT CodePage) {
  if (Bytes.empty()) return {};
  const int Length = CheckedLength(Bytes.size());
  const int Size = ::MultiByteToWideChar(CodePage, 0, Bytes.data(), Length, nullptr, 0);
  if (Size <= 0) return {};
  std::wstring Wide(static_cast<std::size_t>(Size), L'\0');
  const int Written = ::MultiByteToWideChar(CodePage, 0, Bytes.data(), Length, Wide.data(), Size);
  Wide.resize(Written > 0 ? static_cast<std::size_t>(Written) : 0);
  return FromWide(Wide);
}

}  // namespace

std::string ToAnsi(std::u16string_view Text) {
  if (Text.empty()) return {};
  const std::wstring Wide = ToWide(Text);
  const int Length = CheckedLength(Wide.size());
  const int Size = ::WideCharToMultiByte(CP_ACP, 0, Wide.data(), Length, nullptr, 0, nullptr, nullptr);
  if (Size <= 0) return {};
  std::string Out(static_cast<std::size_t>(Size), '\0');
  const int Written = ::WideCharToMultiByte(CP_ACP, 0, Wide.data(), Length, Out.data(), Size, nullptr, nullptr);
  Out.resize(Written > 0 ? static_cast<std::size_t>(Written) : 0);
  return Out;
}

std::u16string FromAnsi(std::string_view Bytes) { return FromMultiByte(Bytes, CP_ACP); }

std::u16string FromCodePage(std::string_view Bytes, uint32_t CodePage) {
  switch (CodePage) {
    // One UTF-8 decoder on every system: malformed bytes read the same everywhere.
    case kCodePageUtf8: return FromUtf8(Bytes);
    case kCodePageCyrillicAnsi:
    case kCodePageCyrillicOem: return FromMultiByte(Bytes, CodePage);
    default: throw Exception(u"Code page " + IntToText(CodePage) + u" is not supported");
  }
}
