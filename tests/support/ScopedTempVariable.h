#pragma once
// Points the system's temporary folder elsewhere for one test: the variable
// the system reads it from (TMPDIR on POSIX, TMP on Windows) set, or removed
// when no value is given, and given back its old value at the end.
#include <optional>
#include <string>

namespace helptest {

class TScopedTempVariable {
public:
  explicit TScopedTempVariable(const std::optional<std::u16string>& Value);
  ~TScopedTempVariable();
  TScopedTempVariable(const TScopedTempVariable&) = delete;
  TScopedTempVariable& operator=(const TScopedTempVariable&) = delete;

private:
  std::optional<std::u16string> FOld;
};

}  // namespace helptest
