#pragma once
// The daily log file: mode filter, line format, banners, folder and file naming.
#include <atomic>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include "platform/DateTime.h"

enum class TLogMode : uint8_t { lmOff = 0, lmErrors = 1, lmInfo = 2, lmAll = 3 };
enum class TLogLevel : uint8_t { llInfo = 0, llDebug = 1, llError = 2 };
enum class TLogEncoding : uint8_t { leUtf8 = 0, leAnsi = 1 };

// Filters by mode, writes the start banner when due, appends one line. Never
// raises: a log that cannot be written must not change the outcome of a call.
void WriteLog(std::u16string_view Text, std::u16string_view Data, TLogLevel Level) noexcept;

namespace logstate {
// The mode in force. Every host call asks for it, logging or not: a plain
// atomic set up before any code runs, read without a call.
extern constinit std::atomic<TLogMode> Mode;

// Which levels each mode lets pass, one bit per level; any other mode, none.
inline constexpr uint8_t PassingLevels[] = {0b000, 0b100, 0b101, 0b111};
}  // namespace logstate

// Whether a line of this level would reach the file; callers use it to avoid
// building texts nobody will read.
inline bool LogLevelPasses(TLogLevel Level) noexcept {
  const auto Mode = static_cast<uint8_t>(logstate::Mode.load(std::memory_order_relaxed));
  const auto Bit = static_cast<uint8_t>(Level);
  return Mode < std::size(logstate::PassingLevels) && Bit < 3 && ((logstate::PassingLevels[Mode] >> Bit) & 1u) != 0;
}

void SetLogMode(TLogMode Mode);
TLogMode GetLogMode() noexcept;

// FolderOnly: the log folder with a trailing separator; otherwise today's file.
// Creates the folder when missing. Raises an Exception when it cannot.
std::u16string GetLogPath(bool FolderOnly);

// The log folder as the driver describes itself, which must work whatever is
// wrong with the log: the folder (created when missing, empty when there is
// none to be had) and, when the log cannot be written there or lines are being
// lost, why. Never raises.
struct TLogFolderState {
  std::u16string Folder;
  std::u16string Problem;
};
TLogFolderState DescribeLogFolder() noexcept;

// Why lines were lost since the last call, then forgotten; empty when none
// was. A call's outcome carries it, so that the next GetLastError tells why the
// call's lines are missing.
std::u16string TakeLogLossReason() noexcept;

void WriteStartBanner();
void WriteStopBanner();

std::u16string FormatLogLine(std::u16string_view Text, std::u16string_view Data, TLogLevel Level);
void AppendLogLine(std::u16string_view Line);

void SetLogVendor(std::u16string_view Vendor);
void SetLogComponentName(std::u16string_view Name);
