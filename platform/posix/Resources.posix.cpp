// Resources from the table the build generates into the module that embeds
// them (resources/GenerateResources.cmake).
#include "platform/Resources.h"

#include <algorithm>
#include <span>

#include "platform/Exception.h"
#include "platform/Text.h"
#include "resources/EmbeddedResources.h"

namespace resources {
namespace {

// Resource names are ASCII; letter case is ignored as Windows does.
char16_t AsciiUpper(char16_t Char) { return Char >= u'a' && Char <= u'z' ? static_cast<char16_t>(Char - 32) : Char; }

bool SameName(std::u16string_view Wanted, std::string_view Stored) {
  return Wanted.size() == Stored.size() &&
         std::equal(Wanted.begin(), Wanted.end(), Stored.begin(),
                    [](char16_t W, char S) { return AsciiUpper(W) == AsciiUpper(static_cast<unsigned char>(S)); });
}

const EmbeddedTable* ModuleTable() { return &EmbeddedResourceTable; }

std::string_view AsChars(const unsigned char* Bytes, std::size_t Size) {
  return {reinterpret_cast<const char*>(Bytes), Size};
}

}  // namespace

std::optional<std::string_view> FindData(std::u16string_view Name) {
  const EmbeddedTable* Table = ModuleTable();
  if (Table == nullptr) return std::nullopt;
  for (const EmbeddedData& Row : std::span(Table->Data, Table->DataCount))
    if (SameName(Name, Row.Name)) return AsChars(Row.Bytes, Row.Size);
  return std::nullopt;
}

std::u16string LoadString(uint32_t Id) {
  const EmbeddedTable* Table = ModuleTable();
  if (Table != nullptr)
    for (const EmbeddedString& Row : std::span(Table->Strings, Table->StringCount))
      if (Row.Id == Id) return FromUtf8(AsChars(Row.Utf8, Row.Size));
  throw Exception(u"String resource not found: " + IntToText(Id));
}

}  // namespace resources
