#pragma once
// The terminal device's pure steps: how amounts, numbers and the QR code go
// into a request, and how the receipt, the terminal's features and the card
// data come out of a response. No connector object is involved here.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/uTXCommon.h"
#include "platform/DateTime.h"

// Hundredths of the currency unit as plain decimal text; halves go to the even
// neighbour. Exact for every Currency value.
std::u16string AmountToText(Currency AAmount);

// A terminal transaction number from 1 to 65534; the generator is seeded once
// per process.
int32_t NewTerminalTrxId();

// The consumer-presented QR code as the hex text of F6 { D1 { QR } }; empty for
// an empty QR.
std::u16string ConsumerQRData(std::u16string_view AQRText);
// A QR code's text as the connector carries it both ways: the value of D1
// inside F6, as hex text.
inline constexpr uint8_t kQRCodeTag = 0xF6;
inline constexpr uint8_t kQRCodeValueTag = 0xD1;
std::u16string QRCodeData(std::u16string_view AQRText);

// A receipt number given as text: its decimal value, 0 when it is none.
int32_t RecNumValue(std::u16string_view ARecNum) noexcept;

// "YYYYMMDDHHMMSS".
std::u16string TerminalDateTimeText(const LocalDateTime& ANow);

// The description of a transaction status.
std::u16string StatusDescription(int32_t AStatus);

// Letter case ignored for Latin and Cyrillic letters.
bool SameTextIgnoringCase(std::u16string_view A, std::u16string_view B) noexcept;

// The named items of a response's receipt data, in order of appearance.
using TReceiptItems = std::vector<std::pair<std::u16string, std::u16string>>;
TReceiptItems ParseReceiptData(std::u16string_view AReceiptData);
// The first item of that name (letter case ignored), or empty.
std::u16string ReceiptValue(const TReceiptItems& AItems, std::u16string_view AName);
// The receipt text: the first part, then, when there is a second one, the cut
// marker on a line of its own and the second part.
std::u16string ReceiptText(const TReceiptItems& AItems, std::u16string_view ACutTag);
std::u16string ReceiptCardType(const TReceiptItems& AItems);

// What the terminal says it can do comes from its "FAN:" model-number part.
// False, leaving AFeatures untouched, when the model number has no "FAN:" part.
bool ParseTerminalFeatures(std::u16string_view AModelNo, TTerminalCapabilities& AFeatures);

// The card data's elements: the container and the three values inside it.
inline constexpr uint8_t kCardContainerTag = 0xEE;
inline constexpr uint8_t kCardLast4Tag = 0xD1;
inline constexpr uint8_t kCardHashTag = 0xD2;
inline constexpr uint8_t kCardBinTag = 0xD3;
struct TCardData {
  std::u16string Hash;
  std::u16string BIN;
  std::u16string Last4Dig;
};
// The card's hash, BIN and last four digits from a response's additional data
// (hex elements with one-byte lengths, EE holding the others), completed from
// the masked card number. Malformed data ends the walk, keeping what was found.
TCardData ParseCardData(std::u16string_view AAdditionalData, std::u16string_view APan);
