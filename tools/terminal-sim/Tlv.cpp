#include "tools/terminal-sim/Tlv.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace terminal_sim {

namespace {

Bytes EncodeLength(size_t Length) {
  if (Length < 0x80) return Bytes(1, static_cast<char>(Length));
  Bytes Digits;
  for (size_t Rest = Length; Rest != 0; Rest >>= 8) Digits.insert(Digits.begin(), static_cast<char>(Rest & 0xFF));
  return static_cast<char>(0x80 + Digits.size()) + Digits;
}

int HexDigit(char16_t C) noexcept {
  if (C >= u'0' && C <= u'9') return C - u'0';
  if (C >= u'A' && C <= u'F') return C - u'A' + 10;
  if (C >= u'a' && C <= u'f') return C - u'a' + 10;
  return -1;
}

struct Element {
  uint8_t Tag;
  Bytes Value;
  size_t Size;
};

std::optional<Element> ReadElement(const Bytes& Data, size_t Pos) {
  if (Data.size() - Pos < 2) return std::nullopt;
  auto Tag = static_cast<uint8_t>(Data[Pos]);
  auto First = static_cast<uint8_t>(Data[Pos + 1]);
  size_t Header = 2;
  size_t Length = First;
  if (First >= 0x80) {
    size_t Count = First - 0x80u;
    if (Count > 4 || Data.size() - Pos - 2 < Count) return std::nullopt;
    Length = 0;
    for (size_t I = 0; I < Count; ++I) Length = (Length << 8) | static_cast<uint8_t>(Data[Pos + 2 + I]);
    Header += Count;
  }
  if (Data.size() - Pos - Header < Length) return std::nullopt;
  return Element{Tag, Data.substr(Pos + Header, Length), Header + Length};
}

}  // namespace

Bytes TlvElement(uint8_t Tag, const Bytes& Value) {
  return static_cast<char>(Tag) + EncodeLength(Value.size()) + Value;
}

Bytes TlvPath(std::initializer_list<uint8_t> Tags, const Bytes& Value) {
  Bytes Result = Value;
  for (auto It = std::rbegin(Tags); It != std::rend(Tags); ++It) Result = TlvElement(*It, Result);
  return Result;
}

std::u16string ToHex(const Bytes& Data) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string Out;
  for (char C : Data) {
    auto B = static_cast<uint8_t>(C);
    Out += kDigits[B >> 4];
    Out += kDigits[B & 0xF];
  }
  return Out;
}

Bytes FromHex(std::u16string_view Hex) {
  Bytes Out;
  for (size_t I = 0; I + 1 < Hex.size(); I += 2) {
    int High = HexDigit(Hex[I]);
    int Low = HexDigit(Hex[I + 1]);
    if (High < 0 || Low < 0) break;
    Out += static_cast<char>(High * 16 + Low);
  }
  return Out;
}

Bytes FindTlv(std::u16string_view Hex, std::initializer_list<uint8_t> Tags) {
  Bytes Level = FromHex(Hex);
  for (uint8_t Wanted : Tags) {
    std::optional<Element> Found;
    for (size_t Pos = 0; Pos < Level.size();) {
      auto E = ReadElement(Level, Pos);
      if (!E) break;
      if (E->Tag == Wanted) {
        Found = std::move(E);
        break;
      }
      Pos += E->Size;
    }
    if (!Found) return {};
    Level = std::move(Found->Value);
  }
  return Level;
}

namespace {

constexpr uint8_t kConstructedTags[] = {0xEE, 0xDE, 0xF6};

bool IsConstructed(uint8_t Tag) noexcept {
  return std::find(std::begin(kConstructedTags), std::end(kConstructedTags), Tag) != std::end(kConstructedTags);
}

Bytes LongLength(size_t Length) {
  Bytes Form = EncodeLength(Length);
  return Form.size() == 1 ? Bytes("\x81", 1) + Form : Form;
}

// Every element of Data rewritten by Rewrite(parent tag, element), the
// constructed ones after their own elements; nothing when Data is malformed.
template <class TRewrite>
std::optional<Bytes> Rewritten(const Bytes& Data, uint8_t Parent, const TRewrite& Rewrite) {
  Bytes Out;
  for (size_t Pos = 0; Pos < Data.size();) {
    auto E = ReadElement(Data, Pos);
    if (!E) return std::nullopt;
    if (IsConstructed(E->Tag)) {
      auto Inner = Rewritten(E->Value, E->Tag, Rewrite);
      if (!Inner) return std::nullopt;
      E->Value = std::move(*Inner);
    }
    Out += Rewrite(Parent, *E);
    Pos += E->Size;
  }
  return Out;
}

template <class TRewrite>
std::u16string RewrittenHex(std::u16string_view Hex, const TRewrite& Rewrite) {
  auto Out = Rewritten(FromHex(Hex), 0, Rewrite);
  return Out ? ToHex(*Out) : std::u16string(Hex);
}

}  // namespace

std::u16string WithLongLengths(std::u16string_view Hex) {
  return RewrittenHex(
      Hex, [](uint8_t, const Element& E) { return static_cast<char>(E.Tag) + LongLength(E.Value.size()) + E.Value; });
}

std::u16string WithCp1251Texts(std::u16string_view Hex) {
  return RewrittenHex(Hex, [](uint8_t Parent, const Element& E) {
    Bytes Value = E.Value;
    if (Parent == 0xDE && E.Tag == 0xD2) {
      if (Value == "MIR") Value = "\xCC\xC8\xD0";  // МИР
      if (Value == "SBP") Value = "\xD1\xC1\xCF";  // СБП
    }
    return TlvElement(E.Tag, Value);
  });
}

Bytes AsciiBytes(std::u16string_view Text) {
  Bytes Out;
  for (char16_t C : Text) Out += C < 0x80 ? static_cast<char>(C) : '?';
  return Out;
}

std::u16string BytesToText(const Bytes& Data) {
  std::u16string Out;
  for (char C : Data) Out += static_cast<char16_t>(static_cast<uint8_t>(C));
  return Out;
}

}  // namespace terminal_sim
