// The module's own Win32 resources: RCDATA by name, texts from the string
// table's blocks of sixteen.
#include <windows.h>

#include <cstring>

#include "platform/Exception.h"
#include "platform/Resources.h"
#include "platform/Text.h"
#include "platform/windows/Module.windows.h"

namespace resources {
namespace {

std::optional<std::string_view> ResourceBytes(HMODULE Module, LPCWSTR Name, LPCWSTR Type) {
  HRSRC Info = ::FindResourceW(Module, Name, Type);
  if (Info == nullptr) return std::nullopt;
  HGLOBAL Loaded = ::LoadResource(Module, Info);
  const void* Bytes = Loaded == nullptr ? nullptr : ::LockResource(Loaded);
  if (Bytes == nullptr) return std::nullopt;
  return std::string_view(static_cast<const char*>(Bytes), ::SizeofResource(Module, Info));
}

uint16_t ReadUnit(std::string_view Block, std::size_t Unit) {
  uint16_t Value = 0;
  std::memcpy(&Value, Block.data() + 2 * Unit, sizeof(Value));
  return Value;
}

// A block holds strings Index*16 .. Index*16+15, each a 16-bit length followed
// by that many UTF-16 units; an absent string has length 0.
std::u16string StringInBlock(std::string_view Block, unsigned Slot) {
  const std::size_t Units = Block.size() / 2;
  std::size_t At = 0;
  for (unsigned Skipped = 0; Skipped < Slot && At < Units; ++Skipped) At += 1u + ReadUnit(Block, At);
  if (At >= Units) return {};
  const std::size_t Length = ReadUnit(Block, At);
  if (Length > Units - At - 1) return {};
  std::u16string Text(Length, u'\0');
  std::memcpy(Text.data(), Block.data() + 2 * (At + 1), 2 * Length);
  return Text;
}

// Names with a NUL would be cut short by the API, names starting with '#'
// would be read as numbers: neither names a resource here.
bool IsPlainName(std::u16string_view Name) {
  return !Name.empty() && Name.front() != u'#' && Name.find(u'\0') == std::u16string_view::npos;
}

}  // namespace

std::optional<std::string_view> FindData(std::u16string_view Name) {
  HMODULE Module = os::OwnModule();
  if (Module == nullptr || !IsPlainName(Name)) return std::nullopt;
  const std::wstring WideName = ToWide(Name);
  return ResourceBytes(Module, WideName.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
}

std::u16string LoadString(uint32_t Id) {
  HMODULE Module = os::OwnModule();
  std::u16string Text;
  if (Module != nullptr && Id <= 0xFFFF) {
    const auto Block = ResourceBytes(Module, MAKEINTRESOURCEW(Id / 16 + 1), MAKEINTRESOURCEW(6));  // RT_STRING
    if (Block) Text = StringInBlock(*Block, Id % 16);
  }
  if (Text.empty()) throw Exception(u"String resource not found: " + IntToText(Id));
  return Text;
}

}  // namespace resources
