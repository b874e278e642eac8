#include "device/uBerTlv.h"

#include <cstddef>
#include <limits>
#include <span>

#include "platform/Text.h"

namespace {

// Longer forms or lengths beyond this cannot describe anything the connector
// sends; such an element ends the scan of its level.
constexpr std::size_t kMaxLengthBytes = 4;
constexpr uint64_t kMaxLength = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
constexpr uint8_t kLongForm = 0x80;
// A level with this many bytes or fewer is not scanned: the smallest element
// worth finding has two header bytes and at least two value bytes.
constexpr std::size_t kSmallestScannedLevel = 3;

struct TElement {
  uint8_t Tag = 0;
  std::size_t ValueStart = 0;  // offset of the value in the level
  uint64_t Size = 0;           // header plus length; may reach beyond the level
};

// The element at the start of Level; false when its header is unreadable.
bool ReadElement(std::span<const uint8_t> Level, TElement& Out) {
  Out.Tag = Level[0];
  const uint8_t LengthByte = Level[1];
  if (LengthByte < kLongForm) {
    Out.ValueStart = 2;
    Out.Size = 2u + LengthByte;
    return true;
  }
  const std::size_t LengthBytes = LengthByte - kLongForm;
  if (LengthBytes > kMaxLengthBytes || 2 + LengthBytes > Level.size()) return false;
  uint64_t Length = 0;
  for (std::size_t I = 0; I < LengthBytes; ++I) Length = (Length << 8) | Level[2 + I];
  if (Length > kMaxLength) return false;
  Out.ValueStart = 2 + LengthBytes;
  Out.Size = Out.ValueStart + Length;
  return true;
}

// The value of the first element tagged Tag on Level, cut at the level's end;
// empty when there is none.
std::span<const uint8_t> FindOnLevel(std::span<const uint8_t> Level, uint8_t Tag) {
  while (Level.size() > kSmallestScannedLevel) {
    TElement Element;
    if (!ReadElement(Level, Element)) return {};
    if (Element.Tag == Tag) {
      const auto End = Element.Size < Level.size() ? static_cast<std::size_t>(Element.Size) : Level.size();
      return Level.subspan(Element.ValueStart, End - Element.ValueStart);
    }
    if (Element.Size >= Level.size()) return {};
    Level = Level.subspan(static_cast<std::size_t>(Element.Size));
  }
  return {};
}

int HexDigitValue(char16_t C) noexcept {
  if (C >= u'0' && C <= u'9') return C - u'0';
  if (C >= u'A' && C <= u'F') return C - u'A' + 10;
  if (C >= u'a' && C <= u'f') return C - u'a' + 10;
  return -1;
}

void AppendLength(TBytes& Out, std::size_t Length) {
  if (Length <= 0x7F) {
    Out.push_back(static_cast<uint8_t>(Length));
    return;
  }
  std::size_t Count = 0;
  for (std::size_t Rest = Length; Rest != 0; Rest >>= 8) ++Count;
  Out.push_back(static_cast<uint8_t>(kLongForm + Count));
  for (std::size_t I = Count; I > 0; --I) Out.push_back(static_cast<uint8_t>(Length >> (8 * (I - 1))));
}

TBytes TextBytes(std::u16string_view AText) {
  const std::string Ansi = ToAnsi(AText);
  return TBytes(Ansi.begin(), Ansi.end());
}

}  // namespace

int HexPairValue(char16_t AHigh, char16_t ALow) noexcept {
  const int High = HexDigitValue(AHigh);
  const int Low = HexDigitValue(ALow);
  return High < 0 || Low < 0 ? -1 : High * 16 + Low;
}

TBytes HexToBytes(std::u16string_view AHex, std::size_t* AValidCount) {
  TBytes Out(AHex.size() / 2, 0);
  std::size_t Count = 0;
  for (; Count < Out.size(); ++Count) {
    const int Value = HexPairValue(AHex[2 * Count], AHex[2 * Count + 1]);
    if (Value < 0) break;
    Out[Count] = static_cast<uint8_t>(Value);
  }
  if (AValidCount != nullptr) *AValidCount = Count;
  return Out;
}

std::u16string BytesToHex(const TBytes& ABytes) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string Out;
  Out.reserve(ABytes.size() * 2);
  for (const uint8_t B : ABytes) {
    Out += kDigits[B >> 4];
    Out += kDigits[B & 0x0F];
  }
  return Out;
}

TBytes TBerTlv::GetTagData(const TBytes& ATags, const TBytes& AData) {
  if (ATags.empty()) return {};
  std::span<const uint8_t> Level(AData);
  for (const uint8_t Tag : ATags) {
    Level = FindOnLevel(Level, Tag);
    if (Level.empty()) return {};
  }
  return TBytes(Level.begin(), Level.end());
}

TBytes TBerTlv::GetTagData(const TBytes& ATags, std::u16string_view AData) {
  return GetTagData(ATags, HexToBytes(AData));
}

std::u16string TBerTlv::GetTagDataAsString(const TBytes& ATags, std::u16string_view AData) {
  const TBytes Value = GetTagData(ATags, AData);
  return FromAnsi(std::string_view(reinterpret_cast<const char*>(Value.data()), Value.size()));
}

TBytes TBerTlv::MakeData(const TBytes& ATags, const TBytes& ATagData) {
  TBytes Result = ATagData;
  for (auto Tag = ATags.rbegin(); Tag != ATags.rend(); ++Tag) {
    TBytes Element;
    Element.reserve(Result.size() + 2 + sizeof(std::size_t));
    Element.push_back(*Tag);
    AppendLength(Element, Result.size());
    Element.insert(Element.end(), Result.begin(), Result.end());
    Result = std::move(Element);
  }
  return Result;
}

std::u16string TBerTlv::MakeDataAsString(const TBytes& ATags, std::u16string_view ATagData) {
  return BytesToHex(MakeData(ATags, TextBytes(ATagData)));
}
