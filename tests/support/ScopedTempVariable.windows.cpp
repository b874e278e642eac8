#include <windows.h>

#include <vector>

#include "tests/support/ScopedTempVariable.h"
#include "platform/Text.h"

namespace helptest {
namespace {

void SetTmp(const std::optional<std::u16string>& Value) {
  ::SetEnvironmentVariableW(L"TMP", Value ? ToWide(*Value).c_str() : nullptr);
}

}  // namespace

TScopedTempVariable::TScopedTempVariable(const std::optional<std::u16string>& Value) {
  std::vector<wchar_t> Old(32768);
  const DWORD Length = ::GetEnvironmentVariableW(L"TMP", Old.data(), static_cast<DWORD>(Old.size()));
  if (Length > 0 && Length < Old.size()) FOld = FromWide(std::wstring_view(Old.data(), Length));
  SetTmp(Value);
}

TScopedTempVariable::~TScopedTempVariable() { SetTmp(FOld); }

}  // namespace helptest
