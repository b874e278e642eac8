#include "device/uDeviceData.h"

#include <chrono>
#include <random>

#include "device/uBerTlv.h"
#include "platform/Os.h"
#include "platform/Text.h"

namespace {

constexpr Currency kTenThousandthsPerHundredth = 100;
constexpr int32_t kLowestTrxId = 1;
constexpr int32_t kHighestTrxId = 65534;

constexpr std::size_t kBinLength = 6;
constexpr std::size_t kLast4Length = 4;
constexpr std::size_t kShortestCardData = 4;

constexpr std::u16string_view kFeaturesPrefix = u"FAN:";

// Seeded once, at the first draw: filling the generator's state is costly, and
// the host should not wait for it while it loads the library. Every component
// of the process draws from it.
std::mt19937& TrxIdGenerator() {
  static std::mt19937 Generator = [] {
    std::random_device Entropy;
    const auto Clock = static_cast<uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    std::seed_seq Seed{static_cast<uint32_t>(Entropy()), static_cast<uint32_t>(Entropy()), Clock};
    return std::mt19937(Seed);
  }();
  return Generator;
}

char16_t LowerLetter(char16_t C) noexcept {
  if (C >= u'A' && C <= u'Z') return static_cast<char16_t>(C + 0x20);
  if (C >= 0x0410 && C <= 0x042F) return static_cast<char16_t>(C + 0x20);
  if (C >= 0x0400 && C <= 0x040F) return static_cast<char16_t>(C + 0x50);
  return C;
}

std::vector<std::u16string_view> Split(std::u16string_view AText, char16_t ASeparator) {
  std::vector<std::u16string_view> Parts;
  for (;;) {
    const auto At = AText.find(ASeparator);
    Parts.push_back(AText.substr(0, At));
    if (At == std::u16string_view::npos) return Parts;
    AText.remove_prefix(At + 1);
  }
}

std::u16string_view StripChar(std::u16string_view AText, char16_t AChar) {
  while (!AText.empty() && AText.front() == AChar) AText.remove_prefix(1);
  while (!AText.empty() && AText.back() == AChar) AText.remove_suffix(1);
  return AText;
}

void SetFeature(TTerminalCapabilities& AFeatures, std::u16string_view APiece) {
  const std::pair<std::u16string_view, bool TTerminalCapabilities::*> Names[] = {
      {u"PST", &TTerminalCapabilities::PrintSlipOnTerminal},
      {u"SSLIP", &TTerminalCapabilities::ShortSlip},
      {u"CWD", &TTerminalCapabilities::CashWithdrawal},
      {u"ECNCPK", &TTerminalCapabilities::ElectronicCertificates},
      {u"PC", &TTerminalCapabilities::PartialCancellation},
      {u"CPQR", &TTerminalCapabilities::ConsumerPresentedQR},
      {u"LCT", &TTerminalCapabilities::ListCardTransactions},
  };
  for (const auto& [Name, Flag] : Names) {
    if (SameTextIgnoringCase(APiece, Name)) AFeatures.*Flag = true;
  }
}

// The bytes of the hex digits up to the first pair that is not hex, as text.
std::u16string HexValueText(std::u16string_view AHex) {
  std::size_t Valid = 0;
  const TBytes Bytes = HexToBytes(AHex, &Valid);
  return FromAnsi(std::string_view(reinterpret_cast<const char*>(Bytes.data()), Valid));
}

void WalkCardElements(std::u16string_view AText, TCardData& AData) {
  std::size_t Position = 0;
  while (Position + 1 < AText.size()) {
    const int Tag = HexPairValue(AText[Position], AText[Position + 1]);
    if (Tag < 0 || Position + 3 >= AText.size()) return;
    const int Length = HexPairValue(AText[Position + 2], AText[Position + 3]);
    if (Length < 0) return;
    const auto Value = AText.substr(Position + 4, 2 * static_cast<std::size_t>(Length));
    switch (Tag) {
      case kCardLast4Tag: AData.Last4Dig = HexValueText(Value); break;
      case kCardHashTag: AData.Hash = HexValueText(Value); break;
      case kCardBinTag: AData.BIN = HexValueText(Value); break;
      case kCardContainerTag:
        // Only the container's own elements count; what follows it does not.
        AText = Value;
        Position = 0;
        continue;
      default: break;
    }
    Position += 4 + 2 * static_cast<std::size_t>(Length);
  }
}

}  // namespace

std::u16string AmountToText(Currency AAmount) {
  // Dividing first keeps every value in range; the remainder decides rounding.
  Currency Hundredths = AAmount / kTenThousandthsPerHundredth;
  const Currency Remainder = AAmount % kTenThousandthsPerHundredth;
  const Currency Half = kTenThousandthsPerHundredth / 2;
  const bool Odd = Hundredths % 2 != 0;
  if (Remainder > Half || (Remainder == Half && Odd)) ++Hundredths;
  if (Remainder < -Half || (Remainder == -Half && Odd)) --Hundredths;
  return IntToText(Hundredths);
}

int32_t NewTerminalTrxId() {
  std::uniform_int_distribution<int32_t> Range(kLowestTrxId, kHighestTrxId);
  return Range(TrxIdGenerator());
}

std::u16string QRCodeData(std::u16string_view AQRText) {
  return TBerTlv::MakeDataAsString({kQRCodeTag, kQRCodeValueTag}, AQRText);
}

std::u16string ConsumerQRData(std::u16string_view AQRText) {
  if (AQRText.empty()) return {};
  return QRCodeData(AQRText);
}

int32_t RecNumValue(std::u16string_view ARecNum) noexcept {
  int32_t Value = 0;
  return TryParseInt32(ARecNum, Value) ? Value : 0;
}

std::u16string TerminalDateTimeText(const LocalDateTime& ANow) {
  std::u16string Out;
  os::AppendZeroPadded(Out, ANow.Year, 4);
  os::AppendZeroPadded(Out, ANow.Month, 2);
  os::AppendZeroPadded(Out, ANow.Day, 2);
  os::AppendZeroPadded(Out, ANow.Hour, 2);
  os::AppendZeroPadded(Out, ANow.Minute, 2);
  os::AppendZeroPadded(Out, ANow.Second, 2);
  return Out;
}

std::u16string StatusDescription(int32_t AStatus) {
  switch (AStatus) {
    case 0: return u"Неопределённый статус или транзакция в обработке";
    case 1: return u"Одобрено";
    case 2: return u"Одобрено частично";
    case 13: return u"Выполнена аварийная отмена";
    case 16: return u"Отклонено";
    case 17: return u"Выполнено в OFFLINE";
    case 34: return u"Нет соединения";
    case 53: return u"Операция прервана";
    default: return u"Неизвестный статус транзакции";
  }
}

bool SameTextIgnoringCase(std::u16string_view A, std::u16string_view B) noexcept {
  if (A.size() != B.size()) return false;
  for (std::size_t I = 0; I < A.size(); ++I) {
    if (LowerLetter(A[I]) != LowerLetter(B[I])) return false;
  }
  return true;
}

TReceiptItems ParseReceiptData(std::u16string_view AReceiptData) {
  TReceiptItems Items;
  auto Parts = Split(AReceiptData, u'~');
  Parts.pop_back();  // after the last "~": not a closed item
  for (const auto Item : Parts) {
    const auto First = Item.find(u'^');
    if (First == std::u16string_view::npos || First == 0) continue;
    const auto Second = Item.find(u'^', First + 1);
    const auto Value = Second == std::u16string_view::npos ? std::u16string_view() : Item.substr(Second + 1);
    Items.emplace_back(std::u16string(Item.substr(0, First)), std::u16string(Value));
  }
  return Items;
}

std::u16string ReceiptValue(const TReceiptItems& AItems, std::u16string_view AName) {
  for (const auto& [Name, Value] : AItems) {
    if (SameTextIgnoringCase(Name, AName)) return Value;
  }
  return {};
}

std::u16string ReceiptText(const TReceiptItems& AItems, std::u16string_view ACutTag) {
  std::u16string Receipt = ReceiptValue(AItems, u"0xDF");
  const std::u16string Second = ReceiptValue(AItems, u"0xDA");
  if (!Second.empty()) {
    Receipt += u"\r\n";
    Receipt += ACutTag;
    Receipt += u"\r\n";
    Receipt += Second;
  }
  return Receipt;
}

std::u16string ReceiptCardType(const TReceiptItems& AItems) { return ReceiptValue(AItems, u"0xDE"); }

bool ParseTerminalFeatures(std::u16string_view AModelNo, TTerminalCapabilities& AFeatures) {
  if (AModelNo.empty()) return false;
  for (const auto Part : Split(AModelNo, u'^')) {
    if (!Part.starts_with(kFeaturesPrefix)) continue;
    AFeatures = TTerminalCapabilities();
    for (const auto Piece : Split(StripChar(Part.substr(kFeaturesPrefix.size()), u';'), u';')) {
      SetFeature(AFeatures, Piece);
    }
    return true;
  }
  return false;
}

TCardData ParseCardData(std::u16string_view AAdditionalData, std::u16string_view APan) {
  TCardData Data;
  if (AAdditionalData.size() >= kShortestCardData) WalkCardElements(AAdditionalData, Data);
  if (!APan.empty()) {
    if (Data.BIN.empty()) Data.BIN = APan.substr(0, kBinLength);
    if (Data.Last4Dig.empty()) {
      Data.Last4Dig = APan.substr(APan.size() > kLast4Length ? APan.size() - kLast4Length : 0);
    }
  }
  return Data;
}
