// One log line as the bridge writes it, beside the least any appender must do:
// open, append and close the same bytes in the same folder.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "logging/Common.Log.h"
#include "logging/Common.LogMask.h"
#include "platform/Text.h"

namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view LineText = u"< PayByPaymentCard";
constexpr std::u16string_view LineData =
    u"Result=True; Params: [\"0\", 1500.25, \"\", \"4276********1234\", \"\", \"\", \"\", \"\"]";

// A private machine-wide folder with logging on and the banner already written.
class LogPlace {
public:
  LogPlace() : FRoot(fs::temp_directory_path() / "orvex-log-bench") {
    fs::remove_all(FRoot);
    fs::create_directories(FRoot);
#ifndef _WIN32
    ::setenv("PROGRAMDATA", FRoot.c_str(), 1);
#endif
    SetLogVendor(u"OrvexBench");
    SetLogComponentName(u"a_orvextx1c83n");
    SetLogMode(TLogMode::lmAll);
    WriteLog(LineText, LineData, TLogLevel::llDebug);
  }
  ~LogPlace() {
    SetLogMode(TLogMode::lmOff);
    fs::remove_all(fs::path(GetLogPath(true)).parent_path());
    fs::remove_all(FRoot);
  }
  LogPlace(const LogPlace&) = delete;
  LogPlace& operator=(const LogPlace&) = delete;

private:
  fs::path FRoot;
};

#ifdef _WIN32
void PlainAppend(const fs::path& File, const std::string& Bytes) {
  const HANDLE Handle = ::CreateFileW(File.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD Written = 0;
  ::WriteFile(Handle, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr);
  ::CloseHandle(Handle);
}
#else
void PlainAppend(const fs::path& File, const std::string& Bytes) {
  const int Fd = ::open(File.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  benchmark::DoNotOptimize(::write(Fd, Bytes.data(), Bytes.size()));
  ::close(Fd);
}

// The plain loop plus the lock between processes that the log must take: the
// part of a line's cost that no care in the writer can remove.
void PlainLockedAppend(const fs::path& File, const std::string& Bytes) {
  const int Fd = ::open(File.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  ::flock(Fd, LOCK_EX);
  benchmark::DoNotOptimize(::write(Fd, Bytes.data(), Bytes.size()));
  ::close(Fd);
}
#endif

void BM_WriteLogLine(benchmark::State& State) {
  const LogPlace Place;
  for (auto _ : State) WriteLog(LineText, LineData, TLogLevel::llDebug);
}
BENCHMARK(BM_WriteLogLine);

// The same bytes the writer produces, appended by Append to a file beside the log.
void AppendTheSameLine(benchmark::State& State, void (*Append)(const fs::path&, const std::string&)) {
  const LogPlace Place;
  const fs::path File = fs::path(GetLogPath(true)) / "plain.log";
  const std::string Bytes = ToUtf8(FormatLogLine(LineText, LineData, TLogLevel::llDebug)) + "\r\n";
  for (auto _ : State) Append(File, Bytes);
}

void BM_PlainAppendOfTheSameLine(benchmark::State& State) { AppendTheSameLine(State, PlainAppend); }
BENCHMARK(BM_PlainAppendOfTheSameLine);

#ifndef _WIN32
void BM_PlainLockedAppendOfTheSameLine(benchmark::State& State) { AppendTheSameLine(State, PlainLockedAppend); }
BENCHMARK(BM_PlainLockedAppendOfTheSameLine);

// The floor of a writer that keeps the day's file open: lock, append, unlock,
// and the look at the path that tells whether the file is still the day's.
void BM_KeptFileLockedAppendOfTheSameLine(benchmark::State& State) {
  const LogPlace Place;
  const fs::path File = fs::path(GetLogPath(true)) / "kept.log";
  const std::string Bytes = ToUtf8(FormatLogLine(LineText, LineData, TLogLevel::llDebug)) + "\r\n";
  const int Fd = ::open(File.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  for (auto _ : State) {
    struct stat Info {};
    benchmark::DoNotOptimize(::stat(File.c_str(), &Info));
    ::flock(Fd, LOCK_EX);
    benchmark::DoNotOptimize(::write(Fd, Bytes.data(), Bytes.size()));
    ::flock(Fd, LOCK_UN);
  }
  ::close(Fd);
}
BENCHMARK(BM_KeptFileLockedAppendOfTheSameLine);
#endif

// What the masking adds to every line the writer formats.
void BM_MaskLogLine(benchmark::State& State) {
  for (auto _ : State) benchmark::DoNotOptimize(MaskLogLine(LineText, LineData));
}
BENCHMARK(BM_MaskLogLine);

// What the bridge pays per host call while logging is off.
void BM_LevelFilterWhileOff(benchmark::State& State) {
  SetLogMode(TLogMode::lmOff);
  for (auto _ : State) benchmark::DoNotOptimize(LogLevelPasses(TLogLevel::llDebug));
}
BENCHMARK(BM_LevelFilterWhileOff);

}  // namespace

BENCHMARK_MAIN();
