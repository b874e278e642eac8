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
// that a secret cuts in two are masked each as a card number.
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

// Only whole runs count: digits inside a longer run are no card number of their own.
void CoverCardNumberRuns(std::u16string_view Text, std::vector<TCover>& Covers) {
  for (std::size_t Start = 0; Start < Text.size();) {
    if (!IsDigit(Text[Start])) {
      ++Start;
      continue;
    }
    const std::size_t GroupedEnd = EndOfGroupedCardNumber(Text, Start);
    const std::size_t End = GroupedEnd != 0 ? GroupedEnd : EndOfDigits(Text, Start);
    if (GroupedEnd != 0 || LooksLikeCardNumber(Text.substr(Start, End - Start)))
      Cover(Covers, Text.size(), Start, End, TCover::CardNumber);
    Start = End;
  }
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
  CoverCardNumberRuns(Text, Covers);
  for (const TLogMaskScope* Scope = CurrentScope; Scope; Scope = Scope->FOuter) {
    for (const std::u16string& Value : Scope->FCardNumbers) CoverOccurrences(Text, Value, TCover::CardNumber, Covers);
    for (const std::u16string& Value : Scope->FSecrets) CoverOccurrences(Text, Value, TCover::Secret, Covers);
  }
  return Covers.empty() ? std::u16string(Text) : WriteCovered(Text, Covers);
}

std::u16string MaskWrittenCardNumbers(std::u16string_view Written) {
  std::vector<TCover> Covers;
  CoverCardNumberRuns(Written, Covers);
  return Covers.empty() ? std::u16string(Written) : WriteCovered(Written, Covers);
}

TMaskedLogLine MaskLogLine(std::u16string_view Text, std::u16string_view Data) {
  return {MaskLogText(Text), MaskLogText(Data)};
}
