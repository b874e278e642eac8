// The BER-TLV reader over what the connector's additional-data field may hold:
// raw bytes or hex text behind a tag path of up to four tags. Nothing it reads
// may raise or reach outside the data; a value found is a piece of the data,
// and what MakeData wraps, GetTagData finds again.
#include <algorithm>

#include "device/uBerTlv.h"
#include "tests/fuzz/FuzzText.h"

namespace {

constexpr std::size_t kMaxTags = 4;
// The reader skips levels of three bytes or fewer: a wrapped value of two
// bytes or more is always found again.
constexpr std::size_t kSmallestFoundValue = 2;

bool IsPieceOf(const TBytes& Piece, const TBytes& Whole) {
  return Piece.empty() || std::search(Whole.begin(), Whole.end(), Piece.begin(), Piece.end()) != Whole.end();
}

void CheckBytes(const TBytes& Tags, const TBytes& Data) {
  if (!IsPieceOf(TBerTlv::GetTagData(Tags, Data), Data)) fuzztext::Fail("a value found is not a piece of the data");
  const TBytes Made = TBerTlv::MakeData(Tags, Data);
  if (Tags.empty() || Data.size() < kSmallestFoundValue) return;
  if (TBerTlv::GetTagData(Tags, Made) != Data) fuzztext::Fail("the wrapped value is not found again");
  if (TBerTlv::GetTagData(Tags, BytesToHex(Made)) != Data)
    fuzztext::Fail("the wrapped value is not found again in hex");
}

void CheckHex(const TBytes& Tags, const std::u16string& Hex) {
  std::size_t Valid = 0;
  const TBytes Bytes = HexToBytes(Hex, &Valid);
  if (Bytes.size() != Hex.size() / 2 || Valid > Bytes.size()) fuzztext::Fail("hex conversion counts");
  const std::u16string Back = BytesToHex(TBytes(Bytes.begin(), Bytes.begin() + static_cast<std::ptrdiff_t>(Valid)));
  for (std::size_t I = 0; I < Back.size(); ++I) {
    if (HexPairValue(Back[I], u'0') != HexPairValue(Hex[I], u'0')) fuzztext::Fail("hex digits do not convert back");
  }
  TBerTlv::GetTagDataAsString(Tags, Hex);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  FuzzedDataProvider In(Data, Size);
  const TBytes Tags = In.ConsumeBytes<uint8_t>(In.ConsumeIntegralInRange<std::size_t>(0, kMaxTags));
  if (In.ConsumeBool()) {
    CheckHex(Tags, fuzztext::RemainingText(In));
  } else {
    CheckBytes(Tags, In.ConsumeRemainingBytes<uint8_t>());
  }
  return 0;
}
