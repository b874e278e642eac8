#pragma once
// What no log line may show: a card number beyond its first six and last four
// digits, and a secret (password, key) at all. The writer passes the text and
// the data of every line through MaskLogLine.
#include <string>
#include <string_view>
#include <vector>

// A secret's form in the log, whatever its length: even an empty secret is
// written so, or the log would tell that there was none.
inline constexpr std::u16string_view kSecretLogMask = u"********";

// A card number as the log may show it: its first six and last four digits,
// every other digit an asterisk, any other character as it is. A value of ten
// characters or fewer cannot keep six and four and still hide anything: it is
// masked whole, an asterisk for each character.
std::u16string MaskCardNumber(std::u16string_view Value);

// The values of one host call that no line may show. While a scope lives,
// every line its thread writes shows the scope's card numbers masked and its
// secrets as kSecretLogMask, wherever in the line they occur: a failure text
// that quotes them is masked too. A scope made during another one (a call made
// from within a call) adds to it. Scopes live on the stack only.
class TLogMaskScope {
public:
  TLogMaskScope() noexcept;
  ~TLogMaskScope();
  TLogMaskScope(const TLogMaskScope&) = delete;
  TLogMaskScope& operator=(const TLogMaskScope&) = delete;

  // An empty value has nothing to find and is left out.
  void AddCardNumber(std::u16string_view Value);
  void AddSecret(std::u16string_view Value);

private:
  friend std::u16string MaskLogText(std::u16string_view Text);

  TLogMaskScope* FOuter;
  std::vector<std::u16string> FCardNumbers;
  std::vector<std::u16string> FSecrets;
};

// Text as a log line may hold it: the values of the thread's scopes masked,
// every maximal run of 13 to 19 digits that passes the Luhn check masked as a
// card number, whatever surrounds it, and of every magnetic-stripe track (1 or
// 2, with or without its sentinels) nothing kept but its card number, masked.
// Raises only when memory runs out; the writer then drops the line rather than
// write it unmasked.
std::u16string MaskLogText(std::u16string_view Text);

// The card number and track nets once more, over a text as the log writes it
// (masked, then escaped): a mask that cuts a longer run of digits, or an
// escape's digits before one ("\u0099" and 22222222222222), can leave a run
// that reads as a card number or a track's only in the written line; it is
// masked as one there. An escape's digits always open their run, within the
// six digits a card number keeps.
std::u16string MaskWrittenCardData(std::u16string_view Written);

struct TMaskedLogLine {
  std::u16string Text;
  std::u16string Data;
};
TMaskedLogLine MaskLogLine(std::u16string_view Text, std::u16string_view Data);
