#pragma once
// A library that embeds the resources, loaded by a program that embeds none:
// each module's look-up must answer for that module only.
#include <cstdint>

#ifdef _WIN32
#ifdef RESOURCE_LIBRARY_BUILD
#define RESOURCE_LIBRARY_API __declspec(dllexport)
#else
#define RESOURCE_LIBRARY_API __declspec(dllimport)
#endif
#else
#define RESOURCE_LIBRARY_API __attribute__((visibility("default")))
#endif

// The size of the library's own resource of that name (NUL-terminated), or -1.
RESOURCE_LIBRARY_API int64_t LibraryDataSize(const char16_t* Name);

// Whether the library's own string-table text Id equals Expected.
RESOURCE_LIBRARY_API bool LibraryStringIs(uint32_t Id, const char16_t* Expected);
