#include "logging/Common.LogMask.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::size_t kLeadingDigitsShown = 6;
constexpr std::size_t kTrailingDigitsShown = 4;
constexpr std::size_t kShortestCardNumber = 13;
constexpr std::size_t kLongestCardNumber = 19;

// A raw pointer: a thread_local with a destructor would keep the library from
// being unloaded. The scopes themselves live on their callers' stacks.
thread_local TLogMaskScope* CurrentScope = nullptr;

bool IsDigit(char16_t C) noexcept { return C >= u'0' && C <= u'9'; }

void AddOnce(std::vector<std::u16string>& Values, std::u16string_view Value) {
  if (Value.empty() || std::find(Values.begin(), Values.end(), Value) != Values.end()) return;
  Values.emplace_back(Value);
}

// ---------------------------------------------------------------------------
// Each character of the text is covered by the strongest mask over it, and
// each stretch of one cover is written once. Values that overlap or touch in
// the text are thus masked as one stretch (masking them one after the other
// would leave the second one's tail in clear), and the pieces of a card number
// that a secret cuts in two are masked each as a card number. A track's data
// after its card number is covered as a secret: one mask, whatever its length.
enum class TCover : uint8_t { Plain, CardNumber, Secret };

void Cover(std::vector<TCover>& Covers, std::size_t TextSize, std::size_t From, std::size_t To, TCover Kind) {
  if (Covers.empty()) Covers.assign(TextSize, TCover::Plain);
  for (std::size_t I = From; I < To; ++I) Covers[I] = std::max(Covers[I], Kind);
}

void CoverOccurrences(std::u16string_view Text, std::u16string_view Value, TCover Kind, std::vector<TCover>& Covers) {
  std::size_t CoveredTo = 0;
  for (std::size_t At = Text.find(Value); At != std::u16string_view::npos; At = Text.find(Value, At + 1)) {
    Cover(Covers, Text.size(), std::max(At, CoveredTo), At + Value.size(), Kind);
    CoveredTo = At + Value.size();
  }
}

// The net under the scopes: card numbers that reach the log by other ways
// (receipts, the terminal's texts, lines of other threads).
bool PassesLuhn(std::u16string_view Digits) noexcept {
  unsigned Sum = 0;
  bool Doubled = false;
  for (auto It = Digits.rbegin(); It != Digits.rend(); ++It) {
    unsigned Digit = static_cast<unsigned>(*It - u'0');
    if (Doubled) Digit = Digit * 2 > 9 ? Digit * 2 - 9 : Digit * 2;
    Sum += Digit;
    Doubled = !Doubled;
  }
  return Sum % 10 == 0;
}

bool LooksLikeCardNumber(std::u16string_view Run) noexcept {
  return Run.size() >= kShortestCardNumber && Run.size() <= kLongestCardNumber && PassesLuhn(Run);
}

std::size_t EndOfDigits(std::u16string_view Text, std::size_t From) noexcept {
  while (From < Text.size() && IsDigit(Text[From])) ++From;
  return From;
}

// Card numbers are also printed in groups ("4111 1111 1111 1111", "3782-822463-10005"):
// groups of at least three digits joined by single blanks or hyphens are judged
// as one number. Shorter groups are left to themselves, so that amounts such as
// "1 234 567,89" are never joined.
constexpr std::size_t kShortestGroup = 3;

bool IsGroupSeparator(char16_t C) noexcept { return C == u' ' || C == u'-'; }

// The end of the longest chain of groups from Start that reads as a card
// number; 0 when there is none. A number followed by more digit groups (an
// expiry date, a code) is still found, so prefixes of the chain count too.
std::size_t EndOfGroupedCardNumber(std::u16string_view Text, std::size_t Start) {
  std::u16string Digits;
  std::size_t Found = 0;
  for (std::size_t From = Start, Groups = 0;; ++Groups) {
    const std::size_t End = EndOfDigits(Text, From);
    if (End - From < kShortestGroup || Digits.size() + (End - From) > kLongestCardNumber) break;
    Digits += Text.substr(From, End - From);
    if (Groups > 0 && LooksLikeCardNumber(Digits)) Found = End;
    if (End + 1 >= Text.size() || !IsGroupSeparator(Text[End]) || !IsDigit(Text[End + 1])) break;
    From = End + 1;
  }
  return Found;
}

// Covers what a net finds at a run of digits starting at Start; answers where
// the search goes on, at the end of that run at least.
using TCoverAtRun = std::size_t (*)(std::u16string_view Text, std::size_t Start, std::vector<TCover>& Covers);

// Only whole runs count: digits inside a longer run are no card number or
// track of their own.
void CoverDigitRuns(std::u16string_view Text, std::vector<TCover>& Covers, TCoverAtRun CoverAtRun) {
  for (std::size_t Start = 0; Start < Text.size();)
    Start = IsDigit(Text[Start]) ? CoverAtRun(Text, Start, Covers) : Start + 1;
}

std::size_t CoverCardNumberAt(std::u16string_view Text, std::size_t Start, std::vector<TCover>& Covers) {
  const std::size_t GroupedEnd = EndOfGroupedCardNumber(Text, Start);
  const std::size_t End = GroupedEnd != 0 ? GroupedEnd : EndOfDigits(Text, Start);
  if (GroupedEnd != 0 || LooksLikeCardNumber(Text.substr(Start, End - Start)))
    Cover(Covers, Text.size(), Start, End, TCover::CardNumber);
  return End;
}

// ---------------------------------------------------------------------------
// Magnetic-stripe tracks, as terminals echo them in their texts and receipts:
//   track 2   [;] card number, = or D, YYMM, service code, discretionary data [?]
//   track 1   [%] B card number ^ holder's name ^ YYMM, service code, discretionary data [?]
// No track data may be kept once the payment is authorised (PCI DSS), so of a
// track the log keeps only what it keeps of any card number. All the data after
// the card number's separator, up to the end sentinel or the last character the
// track can hold, becomes one kSecretLogMask: a mask of its own length would
// still tell how long the holder's name is. The sentinels, track 1's B and the
// separator after the card number carry nothing and stay, so the line still
// shows that a track of that card stood there.
// The shapes are narrow so that ordinary "key=value" text after a number stays
// as it is: 12 to 19 digits, then the separator and four digits of expiry at
// least, or for track 1 the B before the number and a name between two carets.
constexpr std::size_t kShortestTrackCardNumber = 12;
constexpr std::size_t kExpiryDigits = 4;
constexpr std::size_t kLongestHolderName = 26;
// From the B on; an end sentinel farther away cannot end the same track.
constexpr std::size_t kLongestTrack1 = 79;
constexpr char16_t kTrackEndSentinel = u'?';
constexpr char16_t kTrack1Separator = u'^';
constexpr char16_t kTrack1FormatCode = u'B';

bool IsTrack2Separator(char16_t C) noexcept { return C == u'=' || C == u'D'; }

// What track 1 carries besides its sentinels and separators: the stripe's
// six-bit alphabet, blank to '_' (digits, capitals, punctuation).
bool IsTrack1Character(char16_t C) noexcept {
  return C >= u' ' && C <= u'_' && C != u'%' && C != kTrack1Separator && C != kTrackEndSentinel;
}

// The end of the expiry's digits after Separator; 0 when there are too few.
std::size_t EndOfExpiry(std::u16string_view Text, std::size_t Separator) noexcept {
  const std::size_t End = EndOfDigits(Text, Separator + 1);
  return End - (Separator + 1) >= kExpiryDigits ? End : 0;
}

// Track 2 holds nothing but digits after its separator.
std::size_t EndOfTrack2Data(std::u16string_view Text, std::size_t Separator) noexcept {
  return EndOfExpiry(Text, Separator);
}

// The caret that closes the holder's name opened at Caret; npos when none does.
std::size_t EndOfHolderName(std::u16string_view Text, std::size_t Caret) noexcept {
  std::size_t End = Caret + 1;
  while (End < Text.size() && End - (Caret + 1) < kLongestHolderName && IsTrack1Character(Text[End])) ++End;
  return End < Text.size() && Text[End] == kTrack1Separator ? End : std::u16string_view::npos;
}

// Track 1's discretionary data may hold blanks: they belong to it up to an end
// sentinel within the track's length. Without one, a blank more likely starts
// the text after the track, and the data ends before it.
std::size_t EndOfTrack1Data(std::u16string_view Text, std::size_t FormatCode, std::size_t Caret) noexcept {
  const std::size_t NameEnd = EndOfHolderName(Text, Caret);
  if (NameEnd == std::u16string_view::npos) return 0;
  const std::size_t ExpiryEnd = EndOfExpiry(Text, NameEnd);
  if (ExpiryEnd == 0) return 0;
  const std::size_t Limit = std::min(Text.size(), FormatCode + kLongestTrack1);
  std::size_t End = ExpiryEnd;
  while (End < Limit && IsTrack1Character(Text[End])) ++End;
  if (End < Text.size() && Text[End] == kTrackEndSentinel) return End;
  End = ExpiryEnd;
  while (End < Limit && IsTrack1Character(Text[End]) && Text[End] != u' ') ++End;
  return End;
}

// The end of the data of a track whose card number is the run [Start, End);
// 0 when the run starts no track. The data begins after the separator at End.
std::size_t EndOfTrackData(std::u16string_view Text, std::size_t Start, std::size_t End) noexcept {
  const std::size_t Digits = End - Start;
  if (Digits < kShortestTrackCardNumber || Digits > kLongestCardNumber || End >= Text.size()) return 0;
  if (IsTrack2Separator(Text[End])) return EndOfTrack2Data(Text, End);
  if (Text[End] == kTrack1Separator && Start > 0 && Text[Start - 1] == kTrack1FormatCode)
    return EndOfTrack1Data(Text, Start - 1, End);
  return 0;
}

std::size_t CoverTrackAt(std::u16string_view Text, std::size_t Start, std::vector<TCover>& Covers) {
  const std::size_t End = EndOfDigits(Text, Start);
  const std::size_t DataEnd = EndOfTrackData(Text, Start, End);
  if (DataEnd == 0) return End;
  Cover(Covers, Text.size(), Start, End, TCover::CardNumber);
  Cover(Covers, Text.size(), End + 1, DataEnd, TCover::Secret);
  return DataEnd;
}

// The nets under the scopes.
void CoverCardData(std::u16string_view Text, std::vector<TCover>& Covers) {
  CoverDigitRuns(Text, Covers, CoverCardNumberAt);
  CoverDigitRuns(Text, Covers, CoverTrackAt);
}

void AppendStretch(std::u16string& Out, std::u16string_view Stretch, TCover Kind) {
  switch (Kind) {
    case TCover::Plain: Out += Stretch; break;
    case TCover::CardNumber: Out += MaskCardNumber(Stretch); break;
    case TCover::Secret: Out += kSecretLogMask; break;
  }
}

std::u16string WriteCovered(std::u16string_view Text, const std::vector<TCover>& Covers) {
  std::u16string Out;
  Out.reserve(Text.size());
  for (std::size_t Start = 0; Start < Text.size();) {
    std::size_t End = Start + 1;
    while (End < Text.size() && Covers[End] == Covers[Start]) ++End;
    AppendStretch(Out, Text.substr(Start, End - Start), Covers[Start]);
    Start = End;
  }
  return Out;
}

}  // namespace

// ---------------------------------------------------------------------------
std::u16string MaskCardNumber(std::u16string_view Value) {
  if (Value.size() <= kLeadingDigitsShown + kTrailingDigitsShown) return std::u16string(Value.size(), u'*');
  const auto Digits = static_cast<std::size_t>(std::count_if(Value.begin(), Value.end(), IsDigit));
  const std::size_t HiddenTo = Digits > kTrailingDigitsShown ? Digits - kTrailingDigitsShown : 0;
  std::u16string Masked(Value);
  std::size_t Seen = 0;
  for (char16_t& C : Masked) {
    if (!IsDigit(C)) continue;
    if (Seen >= kLeadingDigitsShown && Seen < HiddenTo) C = u'*';
    ++Seen;
  }
  return Masked;
}

TLogMaskScope::TLogMaskScope() noexcept : FOuter(CurrentScope) { CurrentScope = this; }

TLogMaskScope::~TLogMaskScope() { CurrentScope = FOuter; }

void TLogMaskScope::AddCardNumber(std::u16string_view Value) { AddOnce(FCardNumbers, Value); }

void TLogMaskScope::AddSecret(std::u16string_view Value) { AddOnce(FSecrets, Value); }

std::u16string MaskLogText(std::u16string_view Text) {
  std::vector<TCover> Covers;
  CoverCardData(Text, Covers);
  for (const TLogMaskScope* Scope = CurrentScope; Scope; Scope = Scope->FOuter) {
    for (const std::u16string& Value : Scope->FCardNumbers) CoverOccurrences(Text, Value, TCover::CardNumber, Covers);
    for (const std::u16string& Value : Scope->FSecrets) CoverOccurrences(Text, Value, TCover::Secret, Covers);
  }
  return Covers.empty() ? std::u16string(Text) : WriteCovered(Text, Covers);
}

std::u16string MaskWrittenCardData(std::u16string_view Written) {
  std::vector<TCover> Covers;
  CoverCardData(Written, Covers);
  return Covers.empty() ? std::u16string(Written) : WriteCovered(Written, Covers);
}

TMaskedLogLine MaskLogLine(std::u16string_view Text, std::u16string_view Data) {
  return {MaskLogText(Text), MaskLogText(Data)};
}
