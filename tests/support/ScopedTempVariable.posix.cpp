#include <cstdlib>

#include "tests/support/ScopedTempVariable.h"
#include "platform/Text.h"

namespace helptest {
namespace {

void SetTmpDir(const std::optional<std::u16string>& Value) {
  if (Value)
    ::setenv("TMPDIR", ToUtf8(*Value).c_str(), 1);
  else
    ::unsetenv("TMPDIR");
}

}  // namespace

TScopedTempVariable::TScopedTempVariable(const std::optional<std::u16string>& Value) {
  if (const char* Old = std::getenv("TMPDIR")) FOld = FromUtf8(Old);
  SetTmpDir(Value);
}

TScopedTempVariable::~TScopedTempVariable() { SetTmpDir(FOld); }

}  // namespace helptest
