// The receipt assembly from a response's receipt data ("name^length^value~"
// items) and the terminal's features from its model number. Any text: nothing
// may raise, every item has a name and no item reaches across a "~". Items
// written in that form come back as they were, and the receipt is the client
// copy, then the cut marker and the merchant copy when there is one.
#include <string>

#include "device/uDeviceData.h"
#include "platform/Text.h"
#include "tests/fuzz/FuzzText.h"

namespace {

constexpr std::size_t kMaxItems = 6;
constexpr std::size_t kMaxText = 64;
constexpr std::u16string_view kCutTag = u"[cut]";

// A text without the item separator; names also without "^".
std::u16string ItemText(FuzzedDataProvider& In, bool IsName) {
  std::u16string Text = fuzztext::Text(In, kMaxText);
  for (char16_t& C : Text) {
    if (C == u'~' || (IsName && C == u'^')) C = u'_';
  }
  if (IsName && Text.empty()) Text = u"0xDF";
  return Text;
}

std::u16string PickName(FuzzedDataProvider& In) {
  static constexpr std::u16string_view kKnown[] = {u"0xDF", u"0xDA", u"0xDE", u"0xdf", u"0Xda"};
  if (In.ConsumeBool()) return std::u16string(kKnown[In.ConsumeIntegralInRange<std::size_t>(0, 4)]);
  return ItemText(In, true);
}

void CheckWellFormed(FuzzedDataProvider& In) {
  TReceiptItems Items;
  std::u16string Data;
  for (auto Count = In.ConsumeIntegralInRange<std::size_t>(0, kMaxItems); Count > 0; --Count) {
    Items.emplace_back(PickName(In), ItemText(In, false));
    Data += Items.back().first + u"^" + IntToText(static_cast<int64_t>(Items.back().second.size())) + u"^" +
            Items.back().second + u"~";
  }
  if (ParseReceiptData(Data) != Items) fuzztext::Fail("items do not come back as written");
  const std::u16string Client = ReceiptValue(Items, u"0xDF");
  const std::u16string Merchant = ReceiptValue(Items, u"0xDA");
  const std::u16string Expected =
      Merchant.empty() ? Client : Client + u"\r\n" + std::u16string(kCutTag) + u"\r\n" + Merchant;
  if (ReceiptText(Items, kCutTag) != Expected) fuzztext::Fail("the receipt is not the two copies around the cut");
}

void CheckAnyText(FuzzedDataProvider& In) {
  const std::u16string Model = fuzztext::Text(In, kMaxText);
  TTerminalCapabilities Features;
  ParseTerminalFeatures(Model, Features);
  const std::u16string Data = fuzztext::RemainingText(In);
  const TReceiptItems Items = ParseReceiptData(Data);
  for (const auto& [Name, Value] : Items) {
    if (Name.empty() || Name.find(u'~') != std::u16string::npos || Value.find(u'~') != std::u16string::npos) {
      fuzztext::Fail("an item without a name or across a separator");
    }
  }
  ReceiptText(Items, kCutTag);
  ReceiptCardType(Items);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  return fuzztext::WellFormedOrAny(Data, Size, &CheckWellFormed, &CheckAnyText);
}
