// The card-data walk over a response's additional data and masked card number.
// Any text: nothing may raise or read outside it. A well-formed container: the
// hash, BIN and last digits come back as they were put in, whatever other
// elements stand before the container or among its own.
#include <string>

#include "device/uBerTlv.h"
#include "device/uDeviceData.h"
#include "tests/fuzz/FuzzText.h"

namespace {

constexpr std::size_t kMaxValue = 40;
constexpr std::size_t kMaxOthers = 3;

// Printable ASCII: the walk gives values back through the ANSI code page.
std::u16string CardText(FuzzedDataProvider& In) {
  std::u16string Text(In.ConsumeIntegralInRange<std::size_t>(1, kMaxValue), u'0');
  for (char16_t& C : Text) C = In.ConsumeIntegralInRange<char16_t>(0x20, 0x7E);
  return Text;
}

std::u16string Element(uint8_t Tag, const std::u16string& HexValue) {
  return BytesToHex({Tag, static_cast<uint8_t>(HexValue.size() / 2)}) + HexValue;
}

std::u16string TextElement(uint8_t Tag, const std::u16string& Value) {
  const std::string Ascii(Value.begin(), Value.end());
  return Element(Tag, BytesToHex(TBytes(Ascii.begin(), Ascii.end())));
}

// An element the walk must pass over: any tag but the four it knows.
std::u16string OtherElement(FuzzedDataProvider& In) {
  auto Tag = In.ConsumeIntegral<uint8_t>();
  if (Tag == kCardLast4Tag || Tag == kCardHashTag || Tag == kCardBinTag || Tag == kCardContainerTag) Tag = 0x9F;
  return Element(Tag, BytesToHex(In.ConsumeBytes<uint8_t>(In.ConsumeIntegralInRange<std::size_t>(0, kMaxValue))));
}

std::u16string OtherElements(FuzzedDataProvider& In) {
  std::u16string Out;
  for (auto Count = In.ConsumeIntegralInRange<std::size_t>(0, kMaxOthers); Count > 0; --Count) Out += OtherElement(In);
  return Out;
}

void CheckWellFormed(FuzzedDataProvider& In) {
  const std::u16string Last4 = CardText(In);
  const std::u16string Hash = CardText(In);
  const std::u16string Bin = CardText(In);
  const std::u16string Inner = OtherElements(In) + TextElement(kCardHashTag, Hash) + OtherElements(In) +
                               TextElement(kCardBinTag, Bin) + TextElement(kCardLast4Tag, Last4) + OtherElements(In);
  if (Inner.size() / 2 > 0xFF) return;  // one-byte lengths only
  const std::u16string Data = OtherElements(In) + Element(kCardContainerTag, Inner) + OtherElements(In);
  const TCardData Found = ParseCardData(Data, fuzztext::Text(In, kMaxValue));
  if (Found.Hash != Hash || Found.BIN != Bin || Found.Last4Dig != Last4) fuzztext::Fail("a value put in is not found");
}

void CheckAnyText(FuzzedDataProvider& In) {
  const std::u16string Pan = fuzztext::Text(In, kMaxValue);
  const TCardData Found = ParseCardData(fuzztext::RemainingText(In), Pan);
  if (!Pan.empty() && (Found.BIN.empty() || Found.Last4Dig.empty()))
    fuzztext::Fail("the card number does not complete the data");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  return fuzztext::WellFormedOrAny(Data, Size, &CheckWellFormed, &CheckAnyText);
}
