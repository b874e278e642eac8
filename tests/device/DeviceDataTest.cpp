#include <gtest/gtest.h>

#include <limits>

#include "device/uDeviceData.h"
#include "platform/Text.h"

TEST(AmountText, HundredthsRoundedHalfToEven) {
  const struct {
    Currency Amount;
    const char16_t* Text;
  } Cases[] = {
      {12345000, u"123450"},
      {150, u"2"},  // 0.015
      {250, u"2"},  // 0.025
      {350, u"4"},
      {149, u"1"},
      {151, u"2"},
      {-100000, u"-1000"},
      {-150, u"-2"},
      {-250, u"-2"},
      {-49, u"0"},
      {0, u"0"},
      {std::numeric_limits<Currency>::max(), u"92233720368547758"},  // ...58.07: down
      {std::numeric_limits<Currency>::min(), u"-92233720368547758"},
      {std::numeric_limits<Currency>::max() - 57, u"92233720368547758"},   // ...57.50: up to even
      {std::numeric_limits<Currency>::max() - 157, u"92233720368547756"},  // ...56.50: to even, stays
  };
  for (const auto& Case : Cases) EXPECT_EQ(AmountToText(Case.Amount), Case.Text) << Case.Amount;
}

TEST(TerminalTrxId, StaysWithinItsRange) {
  for (int I = 0; I < 20000; ++I) {
    const int32_t Id = NewTerminalTrxId();
    ASSERT_GE(Id, 1);
    ASSERT_LE(Id, 65534);
  }
}

TEST(RequestTexts, QRRecNumAndDateTime) {
  EXPECT_EQ(ConsumerQRData(u""), u"");
  EXPECT_EQ(ConsumerQRData(u"AB"), u"F604D1024142");
  const struct {
    const char16_t* Text;
    int32_t Value;
  } RecNums[] = {{u"123", 123}, {u"", 0}, {u"12a", 0}, {u"99999999999", 0}, {u"-7", -7}};
  for (const auto& Case : RecNums) EXPECT_EQ(RecNumValue(Case.Text), Case.Value) << ToUtf8(Case.Text);
  EXPECT_EQ(TerminalDateTimeText({2024, 3, 5, 7, 8, 9, 999}), u"20240305070809");
  EXPECT_EQ(TerminalDateTimeText({2024, 12, 31, 23, 59, 0, 0}), u"20241231235900");
}

TEST(DeviceError, MessageAndCode) {
  const struct {
    int32_t Status;
    std::u16string TextResponse;
    std::u16string Message;
    int32_t Code;
  } Cases[] = {
      {34, u"", u"Статус=34 (Нет соединения)", 1001},
      {16, u"", u"Статус=16 (Отклонено)", 1001},
      {16, u"Карта заблокирована", u"Карта заблокирована. Статус=16 (Отклонено)", 1001},
      {0, u"", u"Статус=0 (Неопределённый статус или транзакция в обработке)", 4501},
      {99, u"", u"Статус=99 (Неизвестный статус транзакции)", 1001},
      {-1, u"Нет", u"Нет. Статус=-1 (Неизвестный статус транзакции)", 1001},
      {13, u"", u"Статус=13 (Выполнена аварийная отмена)", 1001},
      {17, u"", u"Статус=17 (Выполнено в OFFLINE)", 1001},
      {53, u"", u"Статус=53 (Операция прервана)", 1001},
      {1, u"", u"Статус=1 (Одобрено)", 1001},
      {2, u"", u"Статус=2 (Одобрено частично)", 1001},
  };
  for (const auto& Case : Cases) {
    const EDevcieError Error(Case.Status, Case.TextResponse, StatusDescription(Case.Status));
    EXPECT_EQ(Error.Message(), Case.Message);
    EXPECT_EQ(Error.Code(), Case.Code) << Case.Status;
  }
}

TEST(Receipt, ItemsNamesAndCut) {
  const struct {
    const char* Name;
    std::u16string Data;
    std::u16string Receipt;
    std::u16string CardType;
  } Cases[] = {
      {"three items", u"0xDF^m^A~0xDA^m^B~0xDE^m^C~", u"A\r\n[cut]\r\nB", u"C"},
      {"lower-case name", u"0xdf^m^A~", u"A", u""},
      {"unclosed last item is lost", u"0xDF^m^A~0xDA^m^B", u"A", u""},
      {"item starting with ^ is dropped", u"^0xDF^A~0xDF^m^B~", u"B", u""},
      {"item without ^ is dropped", u"0xDF~0xDF^m^B~", u"B", u""},
      {"empty second part", u"0xDF^m^A~0xDA^m^~", u"A", u""},
      {"no second ^: empty value", u"0xDF^A~0xDF^m^B~", u"", u""},
      {"first match wins", u"0xDF^m^A~0xDF^m^B~", u"A", u""},
      {"value keeps further ^", u"0xDF^m^A^B~", u"A^B", u""},
      {"empty", u"", u"", u""},
  };
  for (const auto& Case : Cases) {
    const TReceiptItems Items = ParseReceiptData(Case.Data);
    EXPECT_EQ(ReceiptText(Items, u"[cut]"), Case.Receipt) << Case.Name;
    EXPECT_EQ(ReceiptCardType(Items), Case.CardType) << Case.Name;
  }
}

TEST(TerminalFeatures, FromTheFirstFanPart) {
  using F = TTerminalCapabilities;
  const struct {
    const char* Name;
    std::u16string ModelNo;
    bool Found;
    F Expected;
  } Cases[] = {
      {"mixed case pieces", u"X^FAN:PST;cwd;LCT;", true, F{true, false, true, false, false, false, true}},
      {"all", u"FAN:;;pst;SSLIP;CWD;ECNCPK;PC;CPQR;LCT;;", true, F{true, true, true, true, true, true, true}},
      {"only the first FAN part", u"FAN:PC^FAN:PST", true, F{false, false, false, false, true, false, false}},
      {"unknown pieces", u"A^FAN:XYZ; PST", true, F{}},
      {"empty FAN part", u"FAN:", true, F{}},
      {"prefix case must match", u"fan:PST", false, F{true, true, true, true, true, true, true}},
      {"empty", u"", false, F{true, true, true, true, true, true, true}},
  };
  for (const auto& Case : Cases) {
    F Features{true, true, true, true, true, true, true};
    EXPECT_EQ(ParseTerminalFeatures(Case.ModelNo, Features), Case.Found) << Case.Name;
    EXPECT_EQ(Features.PrintSlipOnTerminal, Case.Expected.PrintSlipOnTerminal) << Case.Name;
    EXPECT_EQ(Features.ShortSlip, Case.Expected.ShortSlip) << Case.Name;
    EXPECT_EQ(Features.CashWithdrawal, Case.Expected.CashWithdrawal) << Case.Name;
    EXPECT_EQ(Features.ElectronicCertificates, Case.Expected.ElectronicCertificates) << Case.Name;
    EXPECT_EQ(Features.PartialCancellation, Case.Expected.PartialCancellation) << Case.Name;
    EXPECT_EQ(Features.ConsumerPresentedQR, Case.Expected.ConsumerPresentedQR) << Case.Name;
    EXPECT_EQ(Features.ListCardTransactions, Case.Expected.ListCardTransactions) << Case.Name;
  }
}

TEST(CardData, WalksHexElements) {
  const struct {
    const char* Name;
    std::u16string AdditionalData;
    std::u16string Pan;
    std::u16string Hash, BIN, Last4;
  } Cases[] = {
      {"container", u"EE12D10431323334D306323230303030D2024142", u"220000******7890", u"AB", u"220000", u"1234"},
      {"empty data, from the PAN", u"", u"220000******7890", u"", u"220000", u"7890"},
      {"nothing at all", u"", u"", u"", u"", u""},
      {"short PAN", u"", u"123", u"", u"123", u"123"},
      {"after the container is ignored", u"EE04D2024142D3023132", u"", u"AB", u"", u""},
      {"other tags stepped over", u"C1024142D2024344", u"", u"CD", u"", u""},
      {"lower-case hex", u"d2024142d3023132", u"", u"AB", u"12", u""},
      {"stops at non-hex, keeps what was found", u"D2024142ZZ02D302", u"5555", u"AB", u"5555", u"5555"},
      {"bad length digits", u"D2G1", u"", u"", u"", u""},
      {"value cut at the end", u"D2054142", u"", u"AB", u"", u""},
      {"value stops at a non-hex pair", u"D20441G24344", u"", u"A", u"", u""},
      {"three characters are not walked", u"D20", u"", u"", u"", u""},
      {"length digits missing at the end", u"D2024142D3", u"", u"AB", u"", u""},
      {"odd value cut", u"D2034142", u"", u"AB", u"", u""},
      {"nested container", u"EE08EE06D1043132", u"", u"", u"", u"12"},
  };
  for (const auto& Case : Cases) {
    const TCardData Data = ParseCardData(Case.AdditionalData, Case.Pan);
    EXPECT_EQ(Data.Hash, Case.Hash) << Case.Name;
    EXPECT_EQ(Data.BIN, Case.BIN) << Case.Name;
    EXPECT_EQ(Data.Last4Dig, Case.Last4) << Case.Name;
  }
}
