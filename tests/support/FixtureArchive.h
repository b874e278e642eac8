#pragma once
// Small zip archives made for a test, entry by entry, in the order given.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace helptest {

struct TFixtureEntry {
  std::string Name;
  std::string Bytes;
};

// The archive's bytes; every entry deflated.
std::string MakeArchive(const std::vector<TFixtureEntry>& Entries);

// A path of the library's UTF-16 text as the file system takes it, and a whole file's bytes.
std::filesystem::path NativePath(const std::u16string& Path);
std::string ReadBytes(const std::u16string& Path);

}  // namespace helptest
