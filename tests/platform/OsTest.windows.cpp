// The Windows layer's own answers: the machine-wide folder and appends that
// wait for another writer.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/Os.h"
#include "tests/support/CommonSupport.h"

namespace platformtest {
namespace {

namespace fs = std::filesystem;

TEST(OsWindows, MachineFolderIsTheCommonApplicationDataFolder) {
  const fs::path Folder(os::MachineAppDataFolder());
  EXPECT_TRUE(Folder.is_absolute());
  EXPECT_TRUE(fs::is_directory(Folder));
}

TEST(OsWindows, AppendWaitsForAnotherWriterToLetGo) {
  const fs::path Scratch = fs::temp_directory_path() / "orvex-os-test-AppendWaitsForAnotherWriterToLetGo";
  fs::remove_all(Scratch);
  fs::create_directories(Scratch);
  const fs::path File = Scratch / "day.log";
  const HANDLE Holder = ::CreateFileW(File.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(Holder, INVALID_HANDLE_VALUE);
  std::thread Release([Holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::CloseHandle(Holder);
  });
  EXPECT_EQ(os::AppendToFile(File.u16string(), "after the other writer\r\n"), os::AppendResult::Ok);
  Release.join();
  EXPECT_EQ(testsupport::ReadFileBytes(File), "after the other writer\r\n");
  fs::remove_all(Scratch);
}

}  // namespace
}  // namespace platformtest
