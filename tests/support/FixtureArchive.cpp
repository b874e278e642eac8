#include "tests/support/FixtureArchive.h"

#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/Text.h"

namespace helptest {
namespace {

// Test processes run side by side and share the temporary folder: a name
// unique to this process keeps one from reading another's half-written file.
std::filesystem::path FreshArchivePath() {
  static const std::uint64_t ProcessTag = (std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}();
  static std::atomic<int> Counter{0};
  return std::filesystem::temp_directory_path() /
         ("help-fixture-" + std::to_string(ProcessTag) + "-" + std::to_string(Counter++) + ".zip");
}

std::string ReadAndRemove(const std::filesystem::path& Path) {
  std::string Bytes;
  {
    std::ifstream File(Path, std::ios::binary);
    std::ostringstream Content;
    Content << File.rdbuf();
    Bytes = Content.str();
  }
  std::filesystem::remove(Path);
  return Bytes;
}

}  // namespace

std::string MakeArchive(const std::vector<TFixtureEntry>& Entries) {
  const std::filesystem::path Path = FreshArchivePath();
  zipFile Zip = zipOpen64(Path.string().c_str(), APPEND_STATUS_CREATE);
  EXPECT_NE(Zip, nullptr);
  if (Zip == nullptr) return {};
  for (const TFixtureEntry& Entry : Entries) {
    const zip_fileinfo Info{};
    EXPECT_EQ(zipOpenNewFileInZip(Zip, Entry.Name.c_str(), &Info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_DEFAULT_COMPRESSION),
              ZIP_OK);
    EXPECT_EQ(zipWriteInFileInZip(Zip, Entry.Bytes.data(), static_cast<unsigned>(Entry.Bytes.size())), ZIP_OK);
    EXPECT_EQ(zipCloseFileInZip(Zip), ZIP_OK);
  }
  EXPECT_EQ(zipClose(Zip, nullptr), ZIP_OK);
  return ReadAndRemove(Path);
}

std::filesystem::path NativePath(const std::u16string& Path) {
#ifdef _WIN32
  return std::filesystem::path(ToWide(Path));
#else
  return std::filesystem::path(ToUtf8(Path));
#endif
}

std::string ReadBytes(const std::u16string& Path) {
  std::ifstream File(NativePath(Path), std::ios::binary);
  std::ostringstream Content;
  Content << File.rdbuf();
  return Content.str();
}

}  // namespace helptest
