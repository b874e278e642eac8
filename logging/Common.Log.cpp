#include "logging/Common.Log.h"

#include <atomic>
#include <mutex>
#include <new>

#include "logging/Common.LogFiles.h"
#include "logging/Common.LogMask.h"
#include "logging/uVInfo.h"
#include "platform/Clock.h"
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
  // Facts of the process read once: the library's own file name and the user
  // locale's time separator. Kept here rather than in function-local statics,
  // which the unload step would find already destroyed.
  std::once_flag FactsRead;
  std::u16string LibraryFileName;
  std::u16string TimeSeparator;
};

// Created on first use and never destroyed: the library's start-up code sets the
// vendor word from other units' static initialisers, and other units' static
// destructors may still log after this unit's unload step has run. It lives in
// static storage, so unloading the library leaves no heap block behind; the
// unload step releases the strings. Everything the log path needs lives here.
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
    case TLogMode::lmErrors: return Level == TLogLevel::llError;
    case TLogMode::lmInfo: return Level == TLogLevel::llInfo || Level == TLogLevel::llError;
    case TLogMode::lmAll:
      return Level == TLogLevel::llInfo || Level == TLogLevel::llDebug || Level == TLogLevel::llError;
    default: return false;
  }
}

std::u16string_view LevelWord(TLogLevel Level) {
  switch (Level) {
    case TLogLevel::llInfo: return u"INFO";
    case TLogLevel::llDebug: return u"DEBUG";
    case TLogLevel::llError: return u"ERROR";
  }
  return {};
}

// The process's clock (platform/Clock.h), which tests replace.
LocalDateTime CurrentTime() { return os::CurrentClock().Now(); }

bool IsPathSeparator(char16_t C) { return C == u'/' || C == u'\\' || C == os::PathSeparator(); }

std::u16string_view FileNameOf(std::u16string_view Path) {
  std::size_t Start = Path.size();
  while (Start > 0 && !IsPathSeparator(Path[Start - 1])) --Start;
  return Path.substr(Start);
}

// The library's file does not change while it is loaded, and the time
// separator is read once like the rest of the process's format settings.
const TLogState& ProcessFacts() {
  TLogState& Log = State();
  std::call_once(Log.FactsRead, [&Log] {
    Log.LibraryFileName = FileNameOf(GetModuleFilePath());
    Log.TimeSeparator = os::TimeSeparator();
  });
  return Log;
}

const std::u16string& TimeSeparator() { return ProcessFacts().TimeSeparator; }

const std::u16string& LibraryFileName() { return ProcessFacts().LibraryFileName; }

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

// A text from the host or the terminal must not be able to start a line of its
// own: control characters (C0, DEL, C1 and the Unicode line and paragraph
// separators) are written as escapes.
void AppendEscaped(std::u16string& Out, std::u16string_view Text) {
  static constexpr char16_t Hex[] = u"0123456789ABCDEF";
  for (const char16_t C : Text) {
    if (C == u'\r')
      Out += u"\\r";
    else if (C == u'\n')
      Out += u"\\n";
    else if (C == u'\t')
      Out += u"\\t";
    else if (C < 0x20 || C == 0x7F) {
      Out += u"\\x";
      Out.push_back(Hex[C >> 4]);
      Out.push_back(Hex[C & 0xF]);
    } else if ((C >= 0x80 && C <= 0x9F) || C == 0x2028 || C == 0x2029) {
      Out += u"\\u";
      for (int Shift = 12; Shift >= 0; Shift -= 4) Out.push_back(Hex[(C >> Shift) & 0xF]);
    } else {
      Out.push_back(C);
    }
  }
}

// The text as the line shows it, with the card number net over it again.
std::u16string WrittenText(std::u16string_view Masked) {
  std::u16string Escaped;
  AppendEscaped(Escaped, Masked);
  return MaskWrittenCardNumbers(Escaped);
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
  Line += WrittenText(TrimmedText);
  // Decided before trimming: blank data still shows that data was passed.
  if (!Data.empty()) {
    Line += u": \t";
    Line += WrittenText(TrimmedData);
  }
  return Line;
}

std::u16string_view WithoutExtension(std::u16string_view FileName) {
  const auto Dot = FileName.rfind(u'.');
  return Dot == std::u16string_view::npos ? FileName : FileName.substr(0, Dot);
}

std::u16string_view LogStem() {
  const std::u16string& Component = State().ComponentName;
  return WithoutExtension(FileNameOf(Component.empty() ? LibraryFileName() : Component));
}

// The date as yyyy.mm.dd: one file per component per day.
std::u16string DayFileName(std::u16string_view Stem, const LocalDateTime& Day) {
  std::u16string File;
  File.reserve(Stem.size() + 16);
  File += Stem;
  File.push_back(u'_');
  AppendDate(File, Day);
  File += u".log";
  return File;
}

// Where the lines go now: the machine-wide folder can change with the
// environment, the vendor word and the component name with start-up.
struct TCurrentPlace {
  TCurrentPlace() = default;
  TCurrentPlace(const TCurrentPlace&) = delete;
  TCurrentPlace& operator=(const TCurrentPlace&) = delete;
  std::u16string Base = os::MachineAppDataFolder();
  TLogPlace Place{Base, State().Vendor, LogStem()};
};

std::string EncodeLine(std::u16string_view Line) {
  std::string Bytes = ToUtf8(Line);
  Bytes += "\r\n";
  return Bytes;
}

os::AppendResult AppendLocked(const TLogPlace& Place, std::u16string_view FileName, std::string_view Bytes) {
  const std::lock_guard<std::mutex> Guard(State().AppendLock);
  return AppendToLogFile(Place, FileName, Bytes);
}

// The usual line costs no separate look-up of the folders: the append tells
// whether they are there; missing ones are created and the append tried once more.
void AppendLineAt(const LocalDateTime& Time, std::u16string_view Line) {
  const TCurrentPlace Current;
  const std::u16string FileName = DayFileName(Current.Place.Stem, Time);
  const std::string Bytes = EncodeLine(Line);
  if (AppendLocked(Current.Place, FileName, Bytes) == os::AppendResult::Ok) return;
  PrepareLogFolder(Current.Place);
  if (AppendLocked(Current.Place, FileName, Bytes) != os::AppendResult::Ok)
    throw Exception(u"The log folder " + Current.Place.FolderText() + u" cannot be used");
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
    std::u16string().swap(Log.LibraryFileName);
    std::u16string().swap(Log.TimeSeparator);
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
  const TCurrentPlace Current;
  PrepareLogFolder(Current.Place);
  if (FolderOnly) return Current.Place.FolderText();
  const std::u16string FileName = DayFileName(Current.Place.Stem, CurrentTime());
  CheckLogFile(Current.Place, FileName);
  return Current.Place.FileText(FileName);
}

// The six lines go out in one append, so that another process's lines never
// land inside the banner.
void WriteStartBanner() {
  TLogState& Log = State();
  if (!IsWritingMode(Log.Mode.load()) || Log.BannerWritten.load()) return;
  const std::u16string Blanks(BannerBlankWidth, u' ');
  // Every fact first: a banner is appended whole or not at all.
  const std::u16string Lines[] = {
      Blanks,
      std::u16string(StartBannerTitle),
      u"OS version:\t" + GetOSVersionText(),
      u"Application:\t" + LibraryFileName(),
      u"App. version:\t" + ModuleVersionText(GetModuleVersion()),
      Blanks,
  };
  std::u16string Banner;
  for (const std::u16string& Line : Lines) {
    if (!Banner.empty()) Banner += u"\r\n";
    Banner += Line;
  }
  AppendLogLine(Banner);
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

std::u16string TLogPlace::FolderText() const {
  const char16_t Separator = os::PathSeparator();
  std::u16string Folder;
  Folder.reserve(Base.size() + Vendor.size() + Stem.size() + 3);
  Folder += Base;
  Folder.push_back(Separator);
  Folder += Vendor;
  Folder.push_back(Separator);
  Folder += Stem;
  Folder.push_back(Separator);
  return Folder;
}
