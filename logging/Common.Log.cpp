#include "logging/Common.Log.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <mutex>
#include <new>

#include "logging/Common.LogFiles.h"
#include "logging/Common.LogMask.h"
#include "logging/uVInfo.h"
#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/Os.h"
#include "platform/Text.h"

constinit std::atomic<TLogMode> logstate::Mode{TLogMode::lmOff};

namespace {

struct TLogState {
  // Files are UTF-8; nothing in the driver switches to the ANSI code page.
  TLogEncoding Encoding = TLogEncoding::leUtf8;
  std::u16string Vendor = u"Kelvoro";
  std::u16string ComponentName;
  std::atomic<bool> BannerWritten{false};
  // Serialises the appends of this process and guards the kept day file;
  // AppendToLogFile locks against others.
  std::mutex AppendLock;
  // The day, as yyyymmdd, of the file AppendToLogFile keeps open; 0 for none.
  int KeptDay = 0;
  // Facts of the process read once: the library's own file name and the user
  // locale's time separator. Kept here rather than in function-local statics,
  // which the unload step would find already destroyed.
  std::once_flag FactsRead;
  std::u16string LibraryFileName;
  std::u16string TimeSeparator;
  // Why the last lost line was lost. Untaken: no call's outcome has reported
  // it yet; Failing: no line has been written since. Both read without the
  // lock on every call, which the usual, unfailing log never takes.
  std::mutex LossLock;
  std::u16string LossReason;
  std::atomic<bool> LossUntaken{false};
  std::atomic<bool> Failing{false};
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

std::string_view LevelWord(TLogLevel Level) {
  switch (Level) {
    case TLogLevel::llInfo: return "INFO";
    case TLogLevel::llDebug: return "DEBUG";
    case TLogLevel::llError: return "ERROR";
  }
  return {};
}

// A line is assembled as the file's UTF-8 for the writer, and as UTF-16 for
// FormatLogLine.
void AppendAscii(std::u16string& Out, std::string_view Ascii) { Out.append(Ascii.begin(), Ascii.end()); }
void AppendAscii(std::string& Out, std::string_view Ascii) { Out += Ascii; }
void AppendText(std::u16string& Out, std::u16string_view Text) { Out += Text; }
void AppendText(std::string& Out, std::u16string_view Text) { AppendAsUtf8(Out, Text); }

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

template <class Line>
void AppendDate(Line& Out, const LocalDateTime& Time) {
  os::AppendZeroPadded(Out, Time.Year, 4);
  AppendAscii(Out, ".");
  os::AppendZeroPadded(Out, Time.Month, 2);
  AppendAscii(Out, ".");
  os::AppendZeroPadded(Out, Time.Day, 2);
}

template <class Line>
void AppendTimestamp(Line& Out, const LocalDateTime& Time) {
  AppendDate(Out, Time);
  AppendAscii(Out, " ");
  os::AppendZeroPadded(Out, Time.Hour, 2);
  AppendText(Out, TimeSeparator());
  os::AppendZeroPadded(Out, Time.Minute, 2);
  AppendText(Out, TimeSeparator());
  os::AppendZeroPadded(Out, Time.Second, 2);
  AppendAscii(Out, ".");
  os::AppendZeroPadded(Out, Time.Millisecond, 3);
}

// Unicode's format characters (category Cf, Unicode 15): invisible, yet they
// steer how a viewer shows the text around them. A right-to-left override
// shows "00,0001" as "1000,00"; zero-width ones hide that two texts differ.
// Written out here because the library carries no Unicode database; in order,
// for the search.
struct TCodePointRange {
  char32_t First;
  char32_t Last;
};
constexpr TCodePointRange kFormatCharacters[] = {
    {0x00AD, 0x00AD},    // soft hyphen
    {0x0600, 0x0605},    // Arabic number signs
    {0x061C, 0x061C},    // Arabic letter mark
    {0x06DD, 0x06DD},    // Arabic end of ayah
    {0x070F, 0x070F},    // Syriac abbreviation mark
    {0x0890, 0x0891},    // Arabic pound and piastre marks above
    {0x08E2, 0x08E2},    // Arabic disputed end of ayah
    {0x180E, 0x180E},    // Mongolian vowel separator
    {0x200B, 0x200F},    // zero-width space, non-joiner and joiner; left-to-right and right-to-left marks
    {0x202A, 0x202E},    // bidirectional embeddings and overrides
    {0x2060, 0x2064},    // word joiner, invisible operators
    {0x2066, 0x206F},    // bidirectional isolates, deprecated shaping controls
    {0xFEFF, 0xFEFF},    // zero-width no-break space (byte-order mark)
    {0xFFF9, 0xFFFB},    // interlinear annotation
    {0x110BD, 0x110BD},  // Kaithi number sign
    {0x110CD, 0x110CD},  // Kaithi number sign above
    {0x13430, 0x1343F},  // Egyptian hieroglyph format controls
    {0x1BCA0, 0x1BCA3},  // shorthand format controls
    {0x1D173, 0x1D17A},  // musical symbol beams, ties, slurs and phrases
    {0xE0001, 0xE0001},  // language tag
    {0xE0020, 0xE007F},  // tag characters
};
static_assert(std::adjacent_find(std::begin(kFormatCharacters), std::end(kFormatCharacters),
                                 [](const TCodePointRange& A, const TCodePointRange& B) {
                                   return A.Last >= B.First;
                                 }) == std::end(kFormatCharacters),
              "each range ends before the next one starts");

bool IsFormatCharacter(char32_t C) noexcept {
  const auto After = std::upper_bound(std::begin(kFormatCharacters), std::end(kFormatCharacters), C,
                                      [](char32_t Code, const TCodePointRange& Range) { return Code < Range.First; });
  return After != std::begin(kFormatCharacters) && C <= std::prev(After)->Last;
}

// A text from the host or the terminal must not be able to start a line of its
// own, nor to change how the line is shown: control characters (C0, DEL, C1 and
// the Unicode line and paragraph separators) and format characters are written
// as escapes. ASCII text is judged in a few comparisons.
bool NeedsEscape(char32_t C) noexcept {
  return C < 0x20 || C == 0x7F || (C >= 0x80 && (C <= 0x9F || C == 0x2028 || C == 0x2029 || IsFormatCharacter(C)));
}

void AppendHexDigits(std::u16string& Out, char32_t C, int Digits) {
  static constexpr char16_t Hex[] = u"0123456789ABCDEF";
  for (int Shift = (Digits - 1) * 4; Shift >= 0; Shift -= 4) Out.push_back(Hex[(C >> Shift) & 0xF]);
}

// A character beyond the basic plane is escaped whole, as its code point in
// braces ("\u{E0001}"), not as two escaped surrogates that name no character;
// the braces also keep its digits apart from the digits after it, which the
// card number net reads.
void AppendEscape(std::u16string& Out, char32_t C) {
  if (C == u'\r') {
    Out += u"\\r";
  } else if (C == u'\n') {
    Out += u"\\n";
  } else if (C == u'\t') {
    Out += u"\\t";
  } else if (C < 0x80) {
    Out += u"\\x";
    AppendHexDigits(Out, C, 2);
  } else if (C <= 0xFFFF) {
    Out += u"\\u";
    AppendHexDigits(Out, C, 4);
  } else {
    Out += u"\\u{";
    AppendHexDigits(Out, C, C <= 0xFFFFF ? 5 : 6);
    Out += u'}';
  }
}

void AppendEscaped(std::u16string& Out, std::u16string_view Text) {
  for (std::size_t At = 0; At < Text.size();) {
    const std::size_t Start = At;
    const char32_t C = NextCodePointUtf16(Text, At);
    if (NeedsEscape(C))
      AppendEscape(Out, C);
    else
      Out += Text.substr(Start, At - Start);
  }
}

bool HasCharacterToEscape(std::u16string_view Text) noexcept {
  for (std::size_t At = 0; At < Text.size();)
    if (NeedsEscape(NextCodePointUtf16(Text, At))) return true;
  return false;
}

// The text as the line shows it, with the card number and track nets over it again.
std::u16string WrittenText(std::u16string_view Masked) {
  std::u16string Escaped;
  AppendEscaped(Escaped, Masked);
  return MaskWrittenCardData(Escaped);
}

// Unmasked: the masks left the text as it was passed. The net they cast found
// nothing in it then (whatever it finds changes the text), so when nothing
// needs an escape either, the line shows that very text and a second net would
// find nothing again.
template <class Line>
void AppendWritten(Line& Out, std::u16string_view Masked, bool Unmasked) {
  if (Unmasked && !HasCharacterToEscape(Masked))
    AppendText(Out, Masked);
  else
    AppendText(Out, WrittenText(Masked));
}

// The masks work on the UTF-16 texts, whose values they search; only what
// they let through is encoded for the line.
template <class Line>
void AssembleLine(Line& Out, const LocalDateTime& Time, std::u16string_view PlainText, std::u16string_view PlainData,
                  TLogLevel Level) {
  // Masked first: nothing below may see a card number or a secret.
  const TMaskedLogLine Masked = MaskLogLine(PlainText, PlainData);
  const std::u16string_view Text = Masked.Text;
  const std::u16string_view Data = Masked.Data;
  const std::u16string_view TrimmedText = TrimControl(Text);
  const std::u16string_view TrimmedData = TrimControl(Data);
  Out.reserve(40 + TrimmedText.size() + TrimmedData.size());
  AppendTimestamp(Out, Time);
  AppendAscii(Out, "\t");
  AppendAscii(Out, LevelWord(Level));
  AppendAscii(Out, "\t");
  AppendWritten(Out, TrimmedText, Text == PlainText);
  // Decided before trimming: blank data still shows that data was passed.
  if (!Data.empty()) {
    AppendAscii(Out, ": \t");
    AppendWritten(Out, TrimmedData, Data == PlainData);
  }
}

std::u16string FormatLineAt(const LocalDateTime& Time, std::u16string_view PlainText, std::u16string_view PlainData,
                            TLogLevel Level) {
  std::u16string Line;
  AssembleLine(Line, Time, PlainText, PlainData, Level);
  return Line;
}

// The line as the file holds it, CR LF included.
std::string LineBytesAt(const LocalDateTime& Time, std::u16string_view PlainText, std::u16string_view PlainData,
                        TLogLevel Level) {
  std::string Bytes;
  AssembleLine(Bytes, Time, PlainText, PlainData, Level);
  Bytes += "\r\n";
  return Bytes;
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
  std::string Bytes;
  AppendText(Bytes, Line);
  Bytes += "\r\n";
  return Bytes;
}

int DayNumber(const LocalDateTime& Time) { return (Time.Year * 100 + Time.Month) * 100 + Time.Day; }

void CloseKeptFile(TLogState& Log) noexcept {
  CloseLogFile();
  Log.KeptDay = 0;
}

// The usual line: the day's file is still open from the line before.
bool AppendToKeptFile(const LocalDateTime& Time, std::string_view Bytes) {
  TLogState& Log = State();
  const std::lock_guard<std::mutex> Guard(Log.AppendLock);
  if (Log.KeptDay == DayNumber(Time)) return AppendToKeptLogFile(Bytes);
  CloseKeptFile(Log);
  return false;
}

os::AppendResult AppendLocked(const TLogPlace& Place, std::u16string_view FileName, const LocalDateTime& Time,
                              std::string_view Bytes) {
  TLogState& Log = State();
  const std::lock_guard<std::mutex> Guard(Log.AppendLock);
  const os::AppendResult Result = AppendToLogFile(Place, FileName, Bytes);
  if (Result == os::AppendResult::Ok) Log.KeptDay = DayNumber(Time);
  // Switched off meanwhile by another thread: no file stays open.
  if (!IsWritingMode(GetLogMode())) CloseKeptFile(Log);
  return Result;
}

// Otherwise the place is named anew. The append tells whether its folders are
// there; missing ones are created and the append tried once more.
void AppendBytesToPlace(const LocalDateTime& Time, std::string_view Bytes) {
  if (AppendToKeptFile(Time, Bytes)) return;
  const TCurrentPlace Current;
  const std::u16string FileName = DayFileName(Current.Place.Stem, Time);
  if (AppendLocked(Current.Place, FileName, Time, Bytes) == os::AppendResult::Ok) return;
  PrepareLogFolder(Current.Place);
  if (AppendLocked(Current.Place, FileName, Time, Bytes) != os::AppendResult::Ok)
    throw Exception(u"The log folder " + Current.Place.FolderText() + u" cannot be used");
}

void RecordLoss(std::u16string_view Reason) noexcept {
  TLogState& Log = State();
  try {
    const std::lock_guard<std::mutex> Guard(Log.LossLock);
    Log.LossReason = Reason;
  } catch (...) {
    // Without the reason the loss is still reported.
  }
  Log.LossUntaken = true;
  Log.Failing = true;
}

// A line that cannot be written is a lost line, whoever asked for it.
void AppendBytesAt(const LocalDateTime& Time, std::string_view Bytes) {
  try {
    AppendBytesToPlace(Time, Bytes);
  } catch (...) {
    RecordLoss(CurrentExceptionMessage());
    throw;
  }
  State().Failing.store(false, std::memory_order_relaxed);
}

std::u16string LossReason() {
  TLogState& Log = State();
  const std::lock_guard<std::mutex> Guard(Log.LossLock);
  return Log.LossReason.empty() ? u"the log cannot be written" : Log.LossReason;
}

// The next line goes to the place named anew, where no line has failed yet.
void ForgetKeptFile() noexcept {
  TLogState& Log = State();
  const std::lock_guard<std::mutex> Guard(Log.AppendLock);
  CloseKeptFile(Log);
  Log.Failing = false;
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
    std::u16string().swap(Log.LossReason);
  }
};
const TLogUnload Unload;

}  // namespace

void WriteLog(std::u16string_view Text, std::u16string_view Data, TLogLevel Level) noexcept {
  if (!LogLevelPasses(Level)) return;
  try {
    WriteStartBanner();
    const LocalDateTime Time = CurrentTime();
    AppendBytesAt(Time, LineBytesAt(Time, Text, Data, Level));
  } catch (...) {
    // A log that cannot be written must not change the outcome of the host's call.
  }
}

void SetLogMode(TLogMode Mode) {
  TLogState& Log = State();
  const bool SwitchingOff = logstate::Mode.load() != TLogMode::lmOff && Mode == TLogMode::lmOff;
  if (SwitchingOff) {
    try {
      WriteStopBanner();
    } catch (...) {
      // Switching off must succeed even when the stop line cannot be written.
    }
    Log.BannerWritten = false;
  }
  logstate::Mode = Mode;
  if (!IsWritingMode(Mode)) ForgetKeptFile();
}

TLogMode GetLogMode() noexcept { return logstate::Mode.load(); }

std::u16string GetLogPath(bool FolderOnly) {
  const TCurrentPlace Current;
  PrepareLogFolder(Current.Place);
  if (FolderOnly) return Current.Place.FolderText();
  const std::u16string FileName = DayFileName(Current.Place.Stem, CurrentTime());
  CheckLogFile(Current.Place, FileName);
  return Current.Place.FileText(FileName);
}

TLogFolderState DescribeLogFolder() noexcept {
  TLogFolderState Described;
  try {
    const TCurrentPlace Current;
    Described.Folder = Current.Place.FolderText();
    PrepareLogFolder(Current.Place);
    if (IsWritingMode(GetLogMode())) {
      CheckLogFile(Current.Place, DayFileName(Current.Place.Stem, CurrentTime()));
      if (State().Failing.load()) Described.Problem = LossReason();
    }
  } catch (...) {
    try {
      Described.Problem = CurrentExceptionMessage();
    } catch (...) {
      // Out of memory: the folder is still described.
    }
  }
  return Described;
}

std::u16string TakeLogLossReason() noexcept {
  TLogState& Log = State();
  if (!Log.LossUntaken.exchange(false)) return {};
  try {
    return LossReason();
  } catch (...) {
    return u"the log cannot be written";
  }
}

// The six lines go out in one append, so that another process's lines never
// land inside the banner.
void WriteStartBanner() {
  TLogState& Log = State();
  if (!IsWritingMode(GetLogMode()) || Log.BannerWritten.load()) return;
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
  if (IsWritingMode(GetLogMode()) && Log.BannerWritten.load()) AppendLogLine(StopBannerLine);
}

std::u16string FormatLogLine(std::u16string_view Text, std::u16string_view Data, TLogLevel Level) {
  return FormatLineAt(CurrentTime(), Text, Data, Level);
}

void AppendLogLine(std::u16string_view Line) { AppendBytesAt(CurrentTime(), EncodeLine(Line)); }

void SetLogVendor(std::u16string_view Vendor) {
  ForgetKeptFile();
  State().Vendor = Vendor;
}

void SetLogComponentName(std::u16string_view Name) {
  ForgetKeptFile();
  State().ComponentName = Name;
}

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
