#include "platform/Text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/Exception.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& Out, char32_t C) {
  if (C < 0x80) {
    Out += static_cast<char>(C);
  } else if (C < 0x800) {
    Out += static_cast<char>(0xC0 | (C >> 6));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else if (C < 0x10000) {
    Out += static_cast<char>(0xE0 | (C >> 12));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | (C >> 18));
    Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  }
}

void AppendUtf16(std::u16string& Out, char32_t C) {
  if (C < 0x10000) {
    Out += static_cast<char16_t>(C);
  } else {
    C -= 0x10000;
    Out += static_cast<char16_t>(0xD800 + (C >> 10));
    Out += static_cast<char16_t>(0xDC00 + (C & 0x3FF));
  }
}

bool IsHighSurrogate(char32_t C) { return C >= 0xD800 && C <= 0xDBFF; }
bool IsLowSurrogate(char32_t C) { return C >= 0xDC00 && C <= 0xDFFF; }

char32_t NextCodePointUtf8(std::string_view Text, std::size_t& I) {
  const auto Lead = static_cast<unsigned char>(Text[I++]);
  if (Lead < 0x80) return Lead;
  int Extra;
  char32_t C;
  char32_t Min;
  if ((Lead & 0xE0) == 0xC0) {
    Extra = 1, C = Lead & 0x1Fu, Min = 0x80;
  } else if ((Lead & 0xF0) == 0xE0) {
    Extra = 2, C = Lead & 0x0Fu, Min = 0x800;
  } else if ((Lead & 0xF8) == 0xF0) {
    Extra = 3, C = Lead & 0x07u, Min = 0x10000;
  } else {
    return kReplacement;
  }
  for (int K = 0; K < Extra; ++K) {
    if (I >= Text.size() || (static_cast<unsigned char>(Text[I]) & 0xC0) != 0x80) return kReplacement;
    C = (C << 6) | (static_cast<unsigned char>(Text[I++]) & 0x3Fu);
  }
  if (C < Min || C > 0x10FFFF || (C >= 0xD800 && C <= 0xDFFF)) return kReplacement;
  return C;
}

bool IsBlank(char16_t C) { return C == u' ' || C == u'\t'; }

// The text without surrounding blanks, as ASCII; false when it holds anything else.
bool ToAsciiNumberText(std::u16string_view Text, std::string& Ascii) {
  std::size_t First = 0;
  std::size_t Last = Text.size();
  while (First < Last && IsBlank(Text[First])) ++First;
  while (Last > First && IsBlank(Text[Last - 1])) --Last;
  if (First == Last || Last - First > 64) return false;
  Ascii.clear();
  for (std::size_t I = First; I < Last; ++I) {
    if (Text[I] >= 0x80) return false;
    Ascii += static_cast<char>(Text[I]);
  }
  return true;
}

std::string_view WithoutPlusSign(std::string_view Ascii) {
  if (!Ascii.empty() && Ascii.front() == '+' && (Ascii.size() < 2 || Ascii[1] != '-')) {
    Ascii.remove_prefix(1);
  }
  return Ascii;
}

}  // namespace

char32_t NextCodePointUtf16(std::u16string_view Text, std::size_t& I) noexcept {
  char32_t C = Text[I++];
  if (IsHighSurrogate(C)) {
    if (I < Text.size() && IsLowSurrogate(Text[I])) {
      return 0x10000 + ((C - 0xD800) << 10) + (static_cast<char32_t>(Text[I++]) - 0xDC00);
    }
    return kReplacement;
  }
  return IsLowSurrogate(C) ? kReplacement : C;
}

std::string ToUtf8(std::u16string_view Text) {
  std::string Out;
  AppendAsUtf8(Out, Text);
  return Out;
}

void AppendAsUtf8(std::string& Out, std::u16string_view Text) {
  // Log lines are mostly ASCII: their ASCII start is copied without decoding.
  const std::size_t At = Out.size();
  Out.resize(At + Text.size());
  char* const Copy = Out.data() + At;
  std::size_t I = 0;
  for (; I < Text.size() && Text[I] < 0x80; ++I) Copy[I] = static_cast<char>(Text[I]);
  Out.resize(At + I);
  while (I < Text.size()) {
    if (Text[I] < 0x80)
      Out += static_cast<char>(Text[I++]);
    else
      AppendUtf8(Out, NextCodePointUtf16(Text, I));
  }
}

std::u16string FromUtf8(std::string_view Text) {
  std::u16string Out;
  Out.reserve(Text.size());
  for (std::size_t I = 0; I < Text.size();) AppendUtf16(Out, NextCodePointUtf8(Text, I));
  return Out;
}

namespace {

std::u16string FromUtf16Bytes(std::string_view Bytes, bool BigEndian) {
  if (Bytes.size() % 2 != 0) throw Exception(std::u16string(u"UTF-16 text of an odd number of bytes"));
  std::u16string Out;
  Out.reserve(Bytes.size() / 2);
  for (std::size_t I = 0; I < Bytes.size(); I += 2) {
    const auto First = static_cast<unsigned char>(Bytes[I]);
    const auto Second = static_cast<unsigned char>(Bytes[I + 1]);
    Out.push_back(static_cast<char16_t>(BigEndian ? (First << 8) | Second : (Second << 8) | First));
  }
  return Out;
}

}  // namespace

std::string Utf8OfBomText(std::string_view Bytes) {
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
  constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
  if (Bytes.starts_with(kUtf16LeBom)) return ToUtf8(FromUtf16Bytes(Bytes.substr(kUtf16LeBom.size()), false));
  if (Bytes.starts_with(kUtf16BeBom)) return ToUtf8(FromUtf16Bytes(Bytes.substr(kUtf16BeBom.size()), true));
  if (Bytes.starts_with(kUtf8Bom)) Bytes.remove_prefix(kUtf8Bom.size());
  return std::string(Bytes);
}

std::size_t Utf16UnitsToCharacters(std::u16string_view Text, std::size_t Units) noexcept {
  std::size_t Characters = 0;
  for (std::size_t I = 0; I < Text.size();) {
    std::size_t Next = I;
    NextCodePointUtf16(Text, Next);
    if (Next > Units) break;
    I = Next;
    ++Characters;
  }
  return Characters;
}

std::size_t CharactersToUtf16Units(std::u16string_view Text, std::size_t Characters) noexcept {
  std::size_t I = 0;
  for (std::size_t Counted = 0; Counted < Characters && I < Text.size(); ++Counted) NextCodePointUtf16(Text, I);
  return I;
}

std::u16string AsciiToU16(std::string_view Ascii) { return std::u16string(Ascii.begin(), Ascii.end()); }

std::wstring ToWide(std::u16string_view Text) {
  if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
    return std::wstring(Text.begin(), Text.end());
  } else {
    std::wstring Out;
    Out.reserve(Text.size());
    for (std::size_t I = 0; I < Text.size();) Out += static_cast<wchar_t>(NextCodePointUtf16(Text, I));
    return Out;
  }
}

std::u16string FromWide(std::wstring_view Text) {
  std::u16string Out;
  Out.reserve(Text.size());
  for (const wchar_t W : Text) {
    if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
      Out += static_cast<char16_t>(W);
    } else {
      const auto C = static_cast<char32_t>(W);
      AppendUtf16(Out, C > 0x10FFFF || (C >= 0xD800 && C <= 0xDFFF) ? kReplacement : C);
    }
  }
  return Out;
}

std::u16string FormatText(std::u16string_view Format, std::initializer_list<std::u16string_view> Args) {
  std::u16string Out;
  auto Next = Args.begin();
  for (std::size_t I = 0; I < Format.size(); ++I) {
    if (Format[I] == u'%' && I + 1 < Format.size()) {
      if (Format[I + 1] == u's') {
        if (Next != Args.end()) Out += *Next++;
        ++I;
        continue;
      }
      if (Format[I + 1] == u'%') {
        Out += u'%';
        ++I;
        continue;
      }
    }
    Out += Format[I];
  }
  return Out;
}

std::u16string IntToText(int64_t Value) {
  std::array<char, 24> Buffer{};
  const auto Result = std::to_chars(Buffer.data(), Buffer.data() + Buffer.size(), Value);
  return AsciiToU16(std::string_view(Buffer.data(), static_cast<std::size_t>(Result.ptr - Buffer.data())));
}

std::u16string_view TrimControl(std::u16string_view Text) noexcept {
  while (!Text.empty() && Text.front() <= 32) Text.remove_prefix(1);
  while (!Text.empty() && Text.back() <= 32) Text.remove_suffix(1);
  return Text;
}

bool TryParseInt32(std::u16string_view Text, int32_t& Value) noexcept {
  try {
    std::string Ascii;
    if (!ToAsciiNumberText(Text, Ascii)) return false;
    const std::string_view Digits = WithoutPlusSign(Ascii);
    int32_t Parsed = 0;
    const auto Result = std::from_chars(Digits.data(), Digits.data() + Digits.size(), Parsed);
    if (Result.ec != std::errc() || Result.ptr != Digits.data() + Digits.size()) return false;
    Value = Parsed;
    return true;
  } catch (...) {
    return false;
  }
}

bool TryParseDouble(std::u16string_view Text, double& Value) noexcept {
  try {
    std::string Ascii;
    if (!ToAsciiNumberText(Text, Ascii)) return false;
    const std::string_view Number = WithoutPlusSign(Ascii);
    double Parsed = 0;
    const auto Result =
        std::from_chars(Number.data(), Number.data() + Number.size(), Parsed, std::chars_format::general);
    if (Result.ec != std::errc() || Result.ptr != Number.data() + Number.size()) return false;
    if (!std::isfinite(Parsed)) return false;
    Value = Parsed;
    return true;
  } catch (...) {
    return false;
  }
}

std::u16string FloatToText(double Value) {
  if (std::isnan(Value)) return u"NAN";
  if (std::isinf(Value)) return Value > 0 ? u"INF" : u"-INF";
  if (Value == 0) return u"0";
  // Round to 15 significant digits first; the exponent of the rounded value
  // decides between fixed and scientific notation.
  std::array<char, 32> Buffer{};
  const auto Result =
      std::to_chars(Buffer.data(), Buffer.data() + Buffer.size(), Value, std::chars_format::scientific, 14);
  const std::string_view Sci(Buffer.data(), static_cast<std::size_t>(Result.ptr - Buffer.data()));
  const std::size_t EPos = Sci.find('e');
  int Exponent = 0;
  std::from_chars(Sci.data() + EPos + 1 + (Sci[EPos + 1] == '+' ? 1 : 0), Sci.data() + Sci.size(), Exponent);
  const bool Negative = Sci.front() == '-';
  std::string Digits;
  for (const char C : Sci.substr(0, EPos)) {
    if (C >= '0' && C <= '9') Digits += C;
  }
  while (Digits.size() > 1 && Digits.back() == '0') Digits.pop_back();

  // Built by appending: GCC 12 sees false overlaps in chains of string sums.
  std::string Out;
  if (Negative) Out += '-';
  if (Exponent >= 15 || Exponent < -5) {
    Out += Digits[0];
    if (Digits.size() > 1) Out.append(1, '.').append(Digits, 1);
    Out += 'E';
    Out += std::to_string(Exponent);
  } else if (Exponent < 0) {
    Out.append("0.").append(static_cast<std::size_t>(-Exponent - 1), '0').append(Digits);
  } else {
    const auto IntDigits = static_cast<std::size_t>(Exponent) + 1;
    if (Digits.size() <= IntDigits) {
      Out.append(Digits).append(IntDigits - Digits.size(), '0');
    } else {
      Out.append(Digits, 0, IntDigits).append(1, '.').append(Digits, IntDigits);
    }
  }
  return AsciiToU16(Out);
}
