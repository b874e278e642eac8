#include "logging/Common.Log.h"

#include <atomic>
#include <mutex>
#include <new>

#include "logging/Common.BaseSecurity.h"
#include "logging/Common.LogMask.h"
#include "logging/uVInfo.h"
#include "platform/Exception.h"
#include "platform/Os.h"
#include "platform/Text.h"

namespace {

struct TLogState {
  std::atomic<TLogMode> Mode{TLogMode::lmOff};
  // Files are UTF-8; nothing in the driver switches to the ANSI code page.
  TLogEncoding Encoding = TLogEncoding::leUtf8;
  std::u16string Vendor = u"Kelvoro";
  std::u16string ComponentName;
  std::atomic<bool> BannerWritten{false};
  // Serialises the appends of this process; AppendToFile locks against others.
  std::mutex AppendLock;
  std::atomic<TLogClock> Clock{nullptr};
};

// Created on first use and never destroyed: the library's start-up code sets the
// vendor word from other units' static initialisers, and other units' static
// destructors may still log after this unit's unload step has run. It lives in
// static storage, so unloading the library leaves no heap block behind; the
// unload step releases the strings.
TLogState& State() {
  alignas(TLogState) static unsigned char Storage[sizeof(TLogState)];
  static TLogState* const Instance = new (Storage) TLogState;
  return *Instance;
}

constexpr std::u16string_view StartBannerTitle = u"============Start log=============";
constexpr std::u16string_view StopBannerLine = u"============Stop log===============\r\n";
constexpr std::size_t BannerBlankWidth = 40;

bool IsWritingMode(TLogMode Mode) {
  return Mode == TLogMode::lmErrors || Mode == TLogMode::lmInfo || Mode == TLogMode::lmAll;
}

bool ModeLetsPass(TLogMode Mode, TLogLevel Level) {
  switch (Mode) {
    case TLogMode::lmErrors:
      return Level == TLogLevel::llError;
    case TLogMode::lmInfo:
      return Level == TLogLevel::llInfo || Level == TLogLevel::llError;
    case TLogMode::lmAll:
      return Level == TLogLevel::llInfo || Level == TLogLevel::llDebug || Level == TLogLevel::llError;
    default:
      return false;
  }
}

std::u16string_view LevelWord(TLogLevel Level) {
  switch (Level) {
    case TLogLevel::llInfo:
      return u"INFO";
    case TLogLevel::llDebug:
      return u"DEBUG";
    case TLogLevel::llError:
      return u"ERROR";
  }
  return {};
}

LocalDateTime CurrentTime() {
  const TLogClock Clock = State().Clock.load(std::memory_order_relaxed);
  return Clock != nullptr ? Clock() : os::Now();
}

// Read once, like the rest of the process's format settings.
const std::u16string& TimeSeparator() {
  static const std::u16string Separator = os::TimeSeparator();
  return Separator;
}

void AppendDate(std::u16string& Out, const LocalDateTime& Time) {
  os::AppendZeroPadded(Out, Time.Year, 4);
  Out.push_back(u'.');
  os::AppendZeroPadded(Out, Time.Month, 2);
  Out.push_back(u'.');
  os::AppendZeroPadded(Out, Time.Day, 2);
}

void AppendTimestamp(std::u16string& Out, const LocalDateTime& Time) {
  AppendDate(Out, Time);
  Out.push_back(u' ');
  os::AppendZeroPadded(Out, Time.Hour, 2);
  Out += TimeSeparator();
  os::AppendZeroPadded(Out, Time.Minute, 2);
  Out += TimeSeparator();
  os::AppendZeroPadded(Out, Time.Second, 2);
  Out.push_back(u'.');
  os::AppendZeroPadded(Out, Time.Millisecond, 3);
}

std::u16string FormatLineAt(const LocalDateTime& Time, std::u16string_view PlainText, std::u16string_view PlainData,
                            TLogLevel Level) {
  // Masked first: nothing below may see a card number or a secret.
  const TMaskedLogLine Masked = MaskLogLine(PlainText, PlainData);
  const std::u16string_view Text = Masked.Text;
  const std::u16string_view Data = Masked.Data;
  const std::u16string_view TrimmedText = TrimControl(Text);
  const std::u16string_view TrimmedData = TrimControl(Data);
  std::u16string Line;
  Line.reserve(40 + TrimmedText.size() + TrimmedData.size());
  AppendTimestamp(Line, Time);
  Line.push_back(u'\t');
  Line += LevelWord(Level);
  Line.push_back(u'\t');
  Line += TrimmedText;
  // Decided before trimming: blank data still shows that data was passed.
  if (!Data.empty()) {
    Line += u": \t";
    Line += TrimmedData;
  }
  return Line;
}

bool IsPathSeparator(char16_t C) { return C == u'/' || C == u'\\' || C == os::PathSeparator(); }

std::u16string_view FileNameOf(std::u16string_view Path) {
  std::size_t Start = Path.size();
  while (Start > 0 && !IsPathSeparator(Path[Start - 1])) --Start;
  return Path.substr(Start);
}

std::u16string_view WithoutExtension(std::u16string_view FileName) {
  const auto Dot = FileName.rfind(u'.');
  return Dot == std::u16string_view::npos ? FileName : FileName.substr(0, Dot);
}

// The library's file does not change while it is loaded.
const std::u16string& LibraryFileName() {
  static const std::u16string Name(FileNameOf(GetModuleFilePath()));
  return Name;
}

std::u16string_view LogStem() {
  const std::u16string& Component = State().ComponentName;
  return WithoutExtension(FileNameOf(Component.empty() ? LibraryFileName() : Component));
}

std::u16string LogFolder(std::u16string_view Stem) {
  const char16_t Separator = os::PathSeparator();
  std::u16string Folder = os::MachineAppDataFolder();
  Folder.reserve(Folder.size() + State().Vendor.size() + Stem.size() + 3);
  Folder.push_back(Separator);
  Folder += State().Vendor;
  Folder.push_back(Separator);
  Folder += Stem;
  Folder.push_back(Separator);
  return Folder;
}

// Folder, stem, "_", the date as yyyy.mm.dd, ".log".
std::u16string LogFileName(std::u16string_view Folder, std::u16string_view Stem, const LocalDateTime& Day) {
  std::u16string File;
  File.reserve(Folder.size() + Stem.size() + 16);
  File += Folder;
  File += Stem;
  File.push_back(u'_');
  AppendDate(File, Day);
  File += u".log";
  return File;
}

// Only the component's own folder is opened to everybody; the vendor folder
// keeps what it inherits.
void EnsureLogFolder(const std::u16string& Folder) {
  if (os::CreateDirectories(Folder)) GrantEveryoneFullAccess(Folder);
}

std::string EncodeLine(std::u16string_view Line) {
  std::string Bytes = ToUtf8(Line);
  Bytes += "\r\n";
  return Bytes;
}

os::AppendResult AppendLocked(const std::u16string& File, std::string_view Bytes) {
  const std::lock_guard<std::mutex> Guard(State().AppendLock);
  return os::AppendToFile(File, Bytes);
}

// The open itself tells whether the folder is there, so the usual line costs no
// extra look-up; a missing folder is created and the append tried once more.
void AppendLineAt(const LocalDateTime& Time, std::u16string_view Line) {
  const std::u16string_view Stem = LogStem();
  const std::u16string Folder = LogFolder(Stem);
  const std::u16string File = LogFileName(Folder, Stem, Time);
  const std::string Bytes = EncodeLine(Line);
  if (AppendLocked(File, Bytes) == os::AppendResult::Ok) return;
  EnsureLogFolder(Folder);
  if (AppendLocked(File, Bytes) != os::AppendResult::Ok)
    throw Exception(u"The log folder " + Folder + u" cannot be used");
}

// Unload: a log that was being written ends with the stop line. Later lines from
// other units' static destructors are dropped.
struct TLogUnload {
  TLogUnload() = default;
  TLogUnload(const TLogUnload&) = delete;
  TLogUnload& operator=(const TLogUnload&) = delete;
  ~TLogUnload() {
    SetLogMode(TLogMode::lmOff);
    TLogState& Log = State();
    std::u16string().swap(Log.Vendor);
    std::u16string().swap(Log.ComponentName);
  }
};
const TLogUnload Unload;

}  // namespace

bool LogLevelPasses(TLogLevel Level) noexcept {
  return ModeLetsPass(State().Mode.load(std::memory_order_relaxed), Level);
}

void WriteLog(std::u16string_view Text, std::u16string_view Data, TLogLevel Level) noexcept {
  if (!LogLevelPasses(Level)) return;
  try {
    WriteStartBanner();
    const LocalDateTime Time = CurrentTime();
    AppendLineAt(Time, FormatLineAt(Time, Text, Data, Level));
  } catch (...) {
    // A log that cannot be written must not change the outcome of the host's call.
  }
}

void SetLogMode(TLogMode Mode) {
  TLogState& Log = State();
  if (Log.Mode.load() != TLogMode::lmOff && Mode == TLogMode::lmOff) {
    try {
      WriteStopBanner();
    } catch (...) {
      // Switching off must succeed even when the stop line cannot be written.
    }
    Log.BannerWritten = false;
  }
  Log.Mode = Mode;
}

TLogMode GetLogMode() noexcept { return State().Mode.load(); }

std::u16string GetLogPath(bool FolderOnly) {
  const std::u16string_view Stem = LogStem();
  const std::u16string Folder = LogFolder(Stem);
  if (!os::DirectoryExists(Folder)) EnsureLogFolder(Folder);
  return FolderOnly ? Folder : LogFileName(Folder, Stem, CurrentTime());
}

void WriteStartBanner() {
  TLogState& Log = State();
  if (!IsWritingMode(Log.Mode.load()) || Log.BannerWritten.load()) return;
  const std::u16string Blanks(BannerBlankWidth, u' ');
  // Every text first: a banner is appended whole or not at all when a fact is missing.
  const std::u16string Lines[] = {
      Blanks,
      std::u16string(StartBannerTitle),
      u"OS version:\t" + GetOSVersionText(),
      u"Application:\t" + LibraryFileName(),
      u"App. version:\t" + ModuleVersionText(GetModuleVersion()),
      Blanks,
  };
  for (const std::u16string& Line : Lines) AppendLogLine(Line);
  Log.BannerWritten = true;
}

void WriteStopBanner() {
  const TLogState& Log = State();
  if (IsWritingMode(Log.Mode.load()) && Log.BannerWritten.load()) AppendLogLine(StopBannerLine);
}

std::u16string FormatLogLine(std::u16string_view Text, std::u16string_view Data, TLogLevel Level) {
  return FormatLineAt(CurrentTime(), Text, Data, Level);
}

void AppendLogLine(std::u16string_view Line) { AppendLineAt(CurrentTime(), Line); }

void SetLogVendor(std::u16string_view Vendor) { State().Vendor = Vendor; }

void SetLogComponentName(std::u16string_view Name) { State().ComponentName = Name; }

void SetLogClock(TLogClock Clock) noexcept { State().Clock = Clock; }
