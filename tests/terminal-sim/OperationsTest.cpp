// The terminal's answers, as the driver reads them back from the response packet.
#include <regex>

#include "SimTest.h"
#include "platform/Text.h"

namespace simtest {
namespace {

// Card data of the MIR test card: EE { D1 "7890", D2 hash, D3 "220000" }.
const std::string kMirCardData = "EE20D10437383930D210[0-9A-F]{32}D306323230303030";
// The composite interbank key: DE { D1 UUID text, D2 payment system, D3 Unix time }.
std::string KeyOf(std::string_view PaymentSystem) {
  return "DE[0-9A-F]{2}D124[0-9A-F]{72}D2" + Hex(std::string(1, static_cast<char>(PaymentSystem.size()))) +
         Hex(PaymentSystem) + "D304[0-9A-F]{8}";
}

struct Expect {
  std::u16string Field;
  std::string Pattern;  // the whole value, as a regular expression
};

struct OperationCase {
  const char* Name;
  Puts Request;
  std::vector<Expect> Expected;
};

const std::vector<Expect> kApproved = {{u"Status", "1"}, {u"CommandResult", "0"}, {u"ResponseCodeHost", "00"}};

std::vector<Expect> Approved(std::vector<Expect> More) {
  More.insert(More.begin(), kApproved.begin(), kApproved.end());
  return More;
}

std::vector<Expect> Declined(std::string Status, std::string HostCode, std::string Text) {
  return {{u"Status", Status},
          {u"CommandResult", "[1-9][0-9]*"},
          {u"ResponseCodeHost", HostCode},
          {u"TextResponse", Text},
          {u"ReceiptData", "0xDF\\^[0-9]+\\^[^~]*ОТКАЗ: [^~]*~"}};
}

const OperationCase kOperations[] = {
    {"sale",
     {{u"OperationCode", 1}, {u"Amount", u"12345"}, {u"TerminalTrxID", 4711}},
     Approved({{u"TextResponse", "Одобрено"},
               {u"ReferenceNumber", "[1-9][0-9]{11}"},
               {u"AuthorizationCode", "[0-9A-Z]{6}"},
               {u"PAN", "220000\\*{6}7890"},
               {u"AdditionalData", kMirCardData + KeyOf("MIR")},
               {u"ReceiptData",
                "0xDF\\^[0-9]+\\^[^~]*\r\nСУММА: 123,45 руб\\.\r\n[^~]*НОМЕР ОПЕРАЦИИ: 4711\r\n[^~]*~"
                "0xDA\\^[0-9]+\\^[^~]*ЭКЗЕМПЛЯР ПРОДАВЦА[^~]*~0xDE\\^3\\^MIR~"}})},
    {"pre-authorisation",
     {{u"OperationCode", 15}, {u"Amount", u"500"}},
     Approved({{u"PAN", "220000\\*{6}7890"}, {u"AdditionalData", kMirCardData}})},
    {"refund", {{u"OperationCode", 29}, {u"Amount", u"500"}}, Approved({{u"AdditionalData", kMirCardData}})},
    {"transfer to card",
     {{u"OperationCode", 87}, {u"Amount", u"500"}},
     Approved({{u"ReceiptData", "0xDF[^~]*ПЕРЕВОД НА КАРТУ[^~]*~[\\s\\S]*"}})},
    {"declined by ,13", {{u"OperationCode", 1}, {u"Amount", u"10013"}}, Declined("16", "05", "Отказано")},
    {"no funds by ,51", {{u"OperationCode", 1}, {u"Amount", u"10051"}}, Declined("16", "51", "Недостаточно средств")},
    {"no connection by ,34",
     {{u"OperationCode", 15}, {u"Amount", u"10034"}},
     Declined("34", "", "Нет соединения с банком")},
    {"aborted by ,53", {{u"OperationCode", 87}, {u"Amount", u"10053"}}, Declined("53", "", "Операция прервана")},
    {"offline by ,17",
     {{u"OperationCode", 1}, {u"Amount", u"10017"}},
     {{u"Status", "17"}, {u"CommandResult", "0"}, {u"PAN", "220000\\*{6}7890"}}},
    {"partial by ,02",
     {{u"OperationCode", 1}, {u"Amount", u"10002"}},
     {{u"Status", "2"}, {u"CommandResult", "0"}, {u"ReceiptData", "[^~]*ОДОБРЕНО ЧАСТИЧНО[\\s\\S]*"}}},
    {"sale without amount", {{u"OperationCode", 1}}, Declined("16", "13", "Неверная сумма")},
    {"sale with amount not a number",
     {{u"OperationCode", 1}, {u"Amount", u"12,50"}},
     Declined("16", "13", "Неверная сумма")},
    {"terminal parameters",
     {{u"OperationCode", 26}, {u"ProcessingFlag", 2}},
     Approved({{u"ModelNo", "Tandemix SIM-1\\^FAN:PST;SSLIP;ECNCPK;PC;CPQR;LCT;"}})},
    {"connection test",
     {{u"OperationCode", 26}},
     Approved({{u"TextResponse", "Связь с банком установлена"}, {u"ReceiptData", ""}})},
    {"short test",
     {{u"OperationCode", 26}, {u"ReceiptData", u"Test"}},
     Approved({{u"ReceiptData", "0xDF[^~]*ТЕСТ ТЕРМИНАЛА[^~]*~"}})},
    {"card reading",
     {{u"OperationCode", 57}, {u"ProcessingFlag", 6}},
     Approved({{u"PAN", "220000\\*{6}7890"}, {u"AdditionalData", kMirCardData}, {u"ReceiptData", "0xDE\\^3\\^MIR~"}})},
    {"card of the last operation, none yet",
     {{u"OperationCode", 57}},
     Declined("16", "", "Нет данных карты последней операции")},
    {"short report",
     {{u"OperationCode", 63}, {u"CommandMode", 0}, {u"CommandMode2", 20}},
     Approved({{u"ReceiptData", "0xDF[^~]*КРАТКИЙ ОТЧЕТ[^~]*ОПЛАТЫ: 0 НА СУММУ 0,00 руб\\.[^~]*~"}})},
    {"full report",
     {{u"OperationCode", 63}, {u"CommandMode", 0}, {u"CommandMode2", 21}},
     Approved({{u"ReceiptData", "0xDF[^~]*ПОЛНЫЙ ОТЧЕТ[^~]*~"}})},
    {"receipt copy of nothing",
     {{u"OperationCode", 63}, {u"CommandMode", 1}, {u"CommandMode2", 22}},
     Declined("16", "25", "Нет чека для копии")},
    {"unknown report",
     {{u"OperationCode", 63}, {u"CommandMode2", 7}},
     Declined("16", "12", "Операция не поддерживается")},
    {"certificate payment",
     {{u"OperationCode", 1},
      {u"Amount", u"1000"},
      {u"AdditionalAmount", u"600"},
      {u"FileData", u"basket-1"},
      {u"ProcessingFlag", 104}},
     Approved({{u"FileData", "basket-1"}, {u"ReceiptData", "0xDF[^~]*ЭЛ\\. СЕРТИФИКАТ: 6,00 руб\\.[\\s\\S]*"}})},
    {"certificate payment without basket",
     {{u"OperationCode", 1}, {u"Amount", u"1000"}, {u"AdditionalAmount", u"600"}, {u"ProcessingFlag", 104}},
     Declined("16", "30", "Неверные данные запроса")},
    {"certificate above the amount",
     {{u"OperationCode", 29},
      {u"Amount", u"1000"},
      {u"AdditionalAmount", u"1001"},
      {u"FileData", u"b"},
      {u"ProcessingFlag", 104}},
     Declined("16", "13", "Неверная сумма")},
    {"QR code shown",
     {{u"OperationCode", 41}, {u"CommandMode", 5}, {u"AdditionalData", u"F605D103414243"}},
     Approved({{u"TextResponse", "QR-код показан на экране терминала"}})},
    {"empty QR code",
     {{u"OperationCode", 41}, {u"CommandMode", 5}, {u"AdditionalData", u"F602D100"}},
     Declined("16", "30", "Неверные данные запроса")},
    {"cancellation of an unknown sale",
     {{u"OperationCode", 4}, {u"Amount", u"100"}, {u"ReferenceNumber", u"123456789012"}},
     Declined("16", "25", "Исходная операция не найдена")},
    {"completion of an unknown pre-authorisation",
     {{u"OperationCode", 16}, {u"Amount", u"100"}, {u"TerminalTrxID", 5}},
     Declined("16", "25", "Исходная операция не найдена")},
    {"fast payment status of nothing",
     {{u"OperationCode", 1}, {u"ProcessingFlag", 117}, {u"Amount", u"100"}},
     Declined("16", "25", "Исходная операция не найдена")},
    {"unknown operation", {{u"OperationCode", 99}}, Declined("16", "12", "Операция не поддерживается")},
};

void PrintTo(const OperationCase& C, std::ostream* Out) { *Out << C.Name; }

class Operations : public SimTest, public ::testing::WithParamInterface<OperationCase> {};

TEST_P(Operations, AnswerFields) {
  ObjectRef Response = Run(GetParam().Request);
  for (const Expect& E : GetParam().Expected)
    EXPECT_TRUE(std::regex_match(Text(Response, E.Field), std::regex(E.Pattern)))
        << ToUtf8(E.Field) << " = " << Text(Response, E.Field);
}

INSTANTIATE_TEST_SUITE_P(Table, Operations, ::testing::ValuesIn(kOperations), [](const auto& Info) {
  std::string Name;
  for (const char* C = Info.param.Name; *C; ++C) Name += std::isalnum(static_cast<unsigned char>(*C)) ? *C : '_';
  return Name;
});

using Terminal = SimTest;

TEST_F(Terminal, CancellationAndCompletionFollowTheirOriginal) {
  std::string Rrn =
      Text(Run({{u"OperationCode", 1}, {u"Amount", u"10000"}, {u"TerminalTrxID", 11}}), u"ReferenceNumber");
  auto Void = [&](const char16_t* Amount) {
    return Text(Run({{u"OperationCode", 4}, {u"Amount", std::u16string(Amount)}, {u"ReferenceNumber", FromUtf8(Rrn)}}),
                u"Status");
  };
  EXPECT_EQ(Void(u"4000"), "1");
  EXPECT_EQ(Void(u"7000"), "16");  // only 60,00 are left
  EXPECT_EQ(Void(u"6000"), "1");

  Run({{u"OperationCode", 15}, {u"Amount", u"50000"}, {u"TerminalTrxID", 12}});
  ObjectRef Completion = Run({{u"OperationCode", 16}, {u"Amount", u"45000"}, {u"TerminalTrxID", 12}});
  EXPECT_EQ(Text(Completion, u"Status"), "1");
  EXPECT_TRUE(std::regex_match(Text(Completion, u"AdditionalData"), std::regex(kMirCardData + KeyOf("MIR"))));
  EXPECT_EQ(Text(Run({{u"OperationCode", 16}, {u"Amount", u"100"}, {u"TerminalTrxID", 12}}), u"Status"), "16");
}

TEST_F(Terminal, RefundOfASaleUsesItsCardAndAtMostItsAmount) {
  Configure(u"Card=VISA");
  std::u16string Rrn = FromUtf8(Text(Run({{u"OperationCode", 1}, {u"Amount", u"3000"}}), u"ReferenceNumber"));
  Configure(u"Card=MC");
  ObjectRef Refund = Run({{u"OperationCode", 29}, {u"Amount", u"1000"}, {u"ReferenceNumber", Rrn}});
  EXPECT_EQ(Text(Refund, u"PAN"), "411111******1111");
  EXPECT_EQ(Text(Run({{u"OperationCode", 29}, {u"Amount", u"3001"}, {u"ReferenceNumber", Rrn}}), u"Status"), "16");
  EXPECT_EQ(Text(Run({{u"OperationCode", 29}, {u"Amount", u"100"}}), u"PAN"), "555555******4444");
}

TEST_F(Terminal, SettlementTotalsTheBatchAndClosesIt) {
  Run({{u"OperationCode", 1}, {u"Amount", u"10000"}});
  std::u16string Rrn = FromUtf8(Text(Run({{u"OperationCode", 1}, {u"Amount", u"5000"}}), u"ReferenceNumber"));
  Run({{u"OperationCode", 29}, {u"Amount", u"3000"}});
  Run({{u"OperationCode", 4}, {u"Amount", u"5000"}, {u"ReferenceNumber", Rrn}});
  Run({{u"OperationCode", 1}, {u"Amount", u"99913"}});  // declined: not in the batch
  EXPECT_EQ(ControlNumber(u"JournalCount"), 4);

  std::string Receipt = Text(Run({{u"OperationCode", 59}, {u"TerminalTrxID", 77}}), u"ReceiptData");
  for (const char* Line : {"ПАКЕТ: 1\r\n", "ОПЛАТЫ: 2 НА СУММУ 150,00 руб.\r\n", "ВОЗВРАТЫ: 1 НА СУММУ 30,00 руб.\r\n",
                           "ОТМЕНЫ: 1 НА СУММУ 50,00 руб.\r\n", "ИТОГО: 70,00 руб.\r\n", "ИТОГИ СОВПАЛИ"})
    EXPECT_NE(Receipt.find(Line), std::string::npos) << Line << " in " << Receipt;
  EXPECT_EQ(ControlNumber(u"JournalCount"), 0);
  EXPECT_EQ(ControlNumber(u"Batch"), 2);
}

TEST_F(Terminal, EmergencyReversalUndoesTheLastOperationOnce) {
  ObjectRef Sale = Request({{u"OperationCode", 1}, {u"Amount", u"2500"}, {u"TerminalTrxID", 321}});
  Exchange(Sale);
  Sale->Put(u"OperationCode", 53);
  ObjectRef Reversal = Exchange(Sale);
  EXPECT_EQ(Text(Reversal, u"Status"), "1");
  EXPECT_NE(Shown(u"Journal").find("Reversed=1"), std::string::npos);
  EXPECT_EQ(Text(Exchange(Sale), u"TextResponse"), "Операция для отмены не найдена");

  std::string Report = Text(Run({{u"OperationCode", 63}, {u"CommandMode2", 20}}), u"ReceiptData");
  EXPECT_NE(Report.find("ОПЛАТЫ: 0 НА СУММУ 0,00 руб."), std::string::npos) << Report;
}

TEST_F(Terminal, EmergencyReversalLeavesAnotherOperationAlone) {
  Run({{u"OperationCode", 1}, {u"Amount", u"2500"}, {u"TerminalTrxID", 321}});
  Run({{u"OperationCode", 53}, {u"Amount", u"2500"}, {u"TerminalTrxID", 322}});
  EXPECT_EQ(Shown(u"Journal").find("Reversed"), std::string::npos);
}

TEST_F(Terminal, ReportsListTheBatchAndCopyAReceipt) {
  std::string Rrn = Text(Run({{u"OperationCode", 1}, {u"Amount", u"4200"}}), u"ReferenceNumber");
  std::string Full = Text(Run({{u"OperationCode", 63}, {u"CommandMode2", 21}}), u"ReceiptData");
  EXPECT_NE(Full.find("1 ОПЛАТА 42,00 руб. RRN " + Rrn), std::string::npos) << Full;
  ObjectRef Copy = Run({{u"OperationCode", 63}, {u"CommandMode", 1}, {u"CommandMode2", 22}});
  EXPECT_TRUE(std::regex_match(Text(Copy, u"ReceiptData"),
                               std::regex("0xDF\\^[0-9]+\\^КОПИЯ ЧЕКА\r\n[^~]*RRN: " + Rrn + "[^~]*~0xDE\\^3\\^MIR~")));
}

TEST_F(Terminal, CardOfTheLastOperation) {
  Configure(u"Card=VISA");
  Run({{u"OperationCode", 1}, {u"Amount", u"100"}});
  Configure(u"Card=MIR");
  EXPECT_EQ(Text(Run({{u"OperationCode", 57}}), u"PAN"), "411111******1111");
  EXPECT_EQ(Text(Run({{u"OperationCode", 57}, {u"ProcessingFlag", 6}}), u"PAN"), "220000******7890");
}

// --- fast payments by QR code ---

class FastPayments : public SimTest {
protected:
  ObjectRef Fps(int32_t Code, int32_t Flag, const char16_t* Amount, const std::string& Auth = {},
                const std::string& Rrn = {}) {
    return Run({{u"Amount", std::u16string(Amount)},
                {u"AuthorizationCode", FromUtf8(Auth)},
                {u"ReferenceNumber", FromUtf8(Rrn)},
                {u"OperationCode", Code},
                {u"ProcessingFlag", Flag},
                {u"TerminalTrxID", 9}});
  }
  void ExpectPending(const ObjectRef& R) {
    EXPECT_EQ(Text(R, u"Status"), "0");
    EXPECT_NE(Text(R, u"CommandResult"), "0");
  }
};

TEST_F(FastPayments, PaymentIsPendingUntilTheSecondStatusQuery) {
  ObjectRef Sale = Fps(1, 115, u"5000");
  ExpectPending(Sale);
  std::string Id = Text(Sale, u"FileData");
  EXPECT_TRUE(std::regex_match(Id, std::regex("AS1[0-9A-Z]{29}")));
  EXPECT_EQ(Text(Sale, u"MerchantID"), "MA0000012345");
  EXPECT_NE(Text(Sale, u"AdditionalData").find(Hex("https://qr.nspk.ru/" + Id + "?type=02")), std::string::npos);
  EXPECT_EQ(Text(Sale, u"AdditionalData").rfind("F6", 0), 0u);

  ExpectPending(Fps(1, 117, u"5000", Id));
  EXPECT_EQ(ControlNumber(u"JournalCount"), 0);
  ObjectRef Paid = Fps(1, 117, u"5000", Id);
  EXPECT_EQ(Text(Paid, u"Status"), "1");
  EXPECT_EQ(Text(Paid, u"CommandResult"), "0");
  EXPECT_TRUE(std::regex_match(Text(Paid, u"AuthorizationCode"), std::regex("[0-9A-Z]{6}")));
  EXPECT_TRUE(std::regex_match(Text(Paid, u"AdditionalData"), std::regex(KeyOf("SBP"))));
  EXPECT_EQ(Text(Paid, u"ReferenceNumber"), Text(Sale, u"ReferenceNumber"));

  EXPECT_EQ(Text(Fps(1, 117, u"5000", Id), u"Status"), "1");
  EXPECT_EQ(ControlNumber(u"JournalCount"), 1);
  EXPECT_NE(Shown(u"Journal").find("Op=FpsSale"), std::string::npos);
}

TEST_F(FastPayments, RefundOfAPaidPaymentMovesTheSameWay) {
  Configure(u"FpsPaidAfter=1");
  std::string Rrn = Text(Fps(1, 115, u"5000"), u"ReferenceNumber");
  EXPECT_EQ(Text(Fps(1, 117, u"5000"), u"Status"), "1");

  EXPECT_EQ(Text(Fps(29, 118, u"5001", {}, Rrn), u"Status"), "16");
  EXPECT_EQ(Text(Fps(29, 118, u"2000", {}, "999999999999"), u"Status"), "16");
  ExpectPending(Fps(29, 118, u"2000", {}, Rrn));
  ObjectRef Refunded = Fps(29, 119, u"2000");
  EXPECT_EQ(Text(Refunded, u"Status"), "1");
  EXPECT_NE(Shown(u"Journal").find("Op=FpsRefund"), std::string::npos);
}

TEST_F(FastPayments, QrCodeAloneAndImmediatePayment) {
  ObjectRef Qr = Fps(1, 116, u"700");
  EXPECT_EQ(Text(Qr, u"Status"), "1");
  EXPECT_EQ(Text(Qr, u"TextResponse"), "QR-код сформирован");
  EXPECT_NE(Text(Qr, u"AdditionalData").find(Hex("https://qr.nspk.ru/AS1")), std::string::npos);

  Configure(u"FpsPaidAfter=0");
  EXPECT_EQ(Text(Fps(1, 115, u"700"), u"Status"), "1");
  EXPECT_EQ(Text(Fps(1, 115, u"713"), u"Status"), "16");
}

}  // namespace
}  // namespace simtest
