#pragma once
// The nested tag-length-value elements of the connector's additional-data
// field: one-byte tags, definite lengths, written as hex text. Malformed input
// never raises: what cannot be found is an empty result.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using TBytes = std::vector<uint8_t>;

class TBerTlv {
public:
  // The value at the end of the tag path (outermost tag first), or empty.
  static TBytes GetTagData(const TBytes& ATags, const TBytes& AData);
  static TBytes GetTagData(const TBytes& ATags, std::u16string_view AData);
  static std::u16string GetTagDataAsString(const TBytes& ATags, std::u16string_view AData);

  // ATagData wrapped in one element per tag, the first tag outermost.
  static TBytes MakeData(const TBytes& ATags, const TBytes& ATagData);
  static std::u16string MakeDataAsString(const TBytes& ATags, std::u16string_view ATagData);
};

// Hex text helpers shared with the card-data walk. HexToBytes gives half as
// many bytes as there are digits (an odd last digit ignored); conversion stops
// at the first pair that is not two hex digits and ValidCount says how many
// bytes were converted, the rest staying 0.
TBytes HexToBytes(std::u16string_view AHex, std::size_t* AValidCount = nullptr);
std::u16string BytesToHex(const TBytes& ABytes);
// The byte of two hex digits, or -1.
int HexPairValue(char16_t AHigh, char16_t ALow) noexcept;
