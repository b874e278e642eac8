#include "help/Help.TempFolder.h"

#include <algorithm>

#include "platform/Exception.h"

namespace help {
namespace {

bool LeadsOutOfItsFolder(std::u16string_view Part) {
  return Part.empty() || Part == u"." || Part == u".." || Part.find_first_of(u"\\:") != std::u16string_view::npos;
}

bool IsUpperHexDigit(char16_t C) { return (C >= u'0' && C <= u'9') || (C >= u'A' && C <= u'F'); }

bool IsGuidHyphenPlace(std::size_t I) { return I == 9 || I == 14 || I == 19 || I == 24; }

}  // namespace

bool IsGuidText(std::u16string_view Text) {
  if (Text.size() != 38 || Text.front() != u'{' || Text.back() != u'}') return false;
  for (std::size_t I = 1; I + 1 < Text.size(); ++I)
    if (IsGuidHyphenPlace(I) ? Text[I] != u'-' : !IsUpperHexDigit(Text[I])) return false;
  return true;
}

std::vector<std::u16string> NameParts(std::u16string_view RelativeName) {
  std::vector<std::u16string> Parts;
  for (std::size_t Begin = 0;;) {
    const std::size_t End = std::min(RelativeName.find(u'/', Begin), RelativeName.size());
    const std::u16string_view Part = RelativeName.substr(Begin, End - Begin);
    if (LeadsOutOfItsFolder(Part))
      throw Exception(u"The name \"" + std::u16string(RelativeName) + u"\" could lead out of its folder");
    Parts.emplace_back(Part);
    if (End == RelativeName.size()) return Parts;
    Begin = End + 1;
  }
}

}  // namespace help
