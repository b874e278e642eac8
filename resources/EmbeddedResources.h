#pragma once
// The layout of the resource table that the build generates on systems
// without native module resources (resources/GenerateResources.cmake). Only
// the generated file and the look-up that reads it include this.
#include <cstddef>
#include <cstdint>

namespace resources {

struct EmbeddedData {
  const char* Name;  // upper case, as the Windows resource compiler stores it
  const unsigned char* Bytes;
  std::size_t Size;
};

struct EmbeddedString {
  uint32_t Id;
  const unsigned char* Utf8;
  std::size_t Size;
};

struct EmbeddedTable {
  const EmbeddedData* Data;
  std::size_t DataCount;
  const EmbeddedString* Strings;
  std::size_t StringCount;
};

// Defined only by the generated file of a module that embeds resources. The
// reference is weak and hidden, so it binds at link time inside that module
// and is null in a module without the table: look-ups never see another
// module's resources, and no start-up order matters.
extern const EmbeddedTable EmbeddedResourceTable __attribute__((weak, visibility("hidden")));

}  // namespace resources
