#include "ResourceLibrary.h"

#include "platform/Resources.h"

int64_t LibraryDataSize(const char16_t* Name) {
  const auto Data = resources::FindData(Name);
  return Data ? static_cast<int64_t>(Data->size()) : -1;
}

bool LibraryStringIs(uint32_t Id, const char16_t* Expected) {
  try {
    return resources::LoadString(Id) == Expected;
  } catch (...) {
    return false;
  }
}
