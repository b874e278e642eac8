// The strict connector (on by default): what it refuses of the driver's calls,
// its busy terminal, the channel it checks and the response it fills in place;
// and the lenient mode (Strict=0) that lets all of it through.
#include <chrono>
#include <regex>

#include "SimTest.h"
#include "platform/Text.h"

namespace simtest {
namespace {

const Puts kSale = {{u"OperationCode", 1}, {u"Amount", u"12345"}, {u"TerminalTrxID", 4711}};

using Strict = SimTest;

Puts Without(Puts Fields, std::u16string_view Name) {
  std::erase_if(Fields, [&](const auto& F) { return F.first == Name; });
  return Fields;
}

Puts With(Puts Fields, std::u16string_view Name, Value V) {
  for (auto& F : Fields)
    if (F.first == Name) F.second = V;
  return Fields;
}

TEST_F(Strict, IsOnByDefault) {
  EXPECT_EQ(ControlNumber(u"Strict"), 1);
  EXPECT_NE(Shown(u"Settings").find("Strict=1\n"), std::string::npos);
}

TEST_F(Strict, ExchangeTakesItsArgumentsByReference) {
  ObjectRef Link = automation::CreateObject(u"Tandemix.TXLink");
  Link->Call(u"InitResources", {});
  for (size_t ByValue = 0; ByValue < 3; ++ByValue) {
    Value Values[] = {Request(kSale), Packet({}), 180000};
    std::vector<automation::Argument> Args;
    for (size_t I = 0; I < 3; ++I)
      Args.push_back(I == ByValue ? automation::Argument::ByValue(Values[I]) : automation::Argument::ByRef(Values[I]));
    std::string Failure = ToUtf8(FailureOf([&] { Link->Call(u"Exchange", Args); }));
    EXPECT_NE(Failure.find("(argument " + std::to_string(ByValue + 1) + ") must be passed by reference (VT_BYREF)"),
              std::string::npos)
        << Failure;
  }
  EXPECT_EQ(ControlNumber(u"ExchangeCount"), 0) << "refused before the terminal sees it";

  Value Req = Request(kSale), Resp = Packet({}), Wait = std::u16string(u"180000");
  automation::Argument TextTimeout[] = {automation::Argument::ByRef(Req), automation::Argument::ByRef(Resp),
                                        automation::Argument::ByRef(Wait)};
  EXPECT_NE(ToUtf8(FailureOf([&] {
              Link->Call(u"Exchange", TextTimeout);
            })).find("Type mismatch: Exchange, argument 3 takes an integer"),
            std::string::npos);
  Wait = int64_t{180000};
  EXPECT_NO_THROW(Link->Call(u"Exchange", TextTimeout));
  EXPECT_EQ(ControlNumber(u"LastTimeout"), 180000);
}

TEST_F(Strict, CommonFieldsMustBeThereAndWellFormed) {
  const Puts Sale = WithCommon(kSale);
  struct Case {
    const char* Name;
    Puts Fields;
    const char* Message;  // empty: accepted
  } const Cases[] = {
      {"as the driver sends it", Sale, ""},
      {"no TerminalId", Without(Sale, u"TerminalId"), "нет поля TerminalId"},
      {"empty TerminalId", With(Sale, u"TerminalId", std::u16string()), "неверный TerminalId \"\""},
      {"TerminalId too long", With(Sale, u"TerminalId", std::u16string(u"123456789")), "неверный TerminalId"},
      {"TerminalId of letters", With(Sale, u"TerminalId", std::u16string(u"TERM-01")), ""},
      {"TerminalId with a blank", With(Sale, u"TerminalId", std::u16string(u"TERM 01")), "неверный TerminalId"},
      {"no currency", Without(Sale, u"CurrencyCode"), "нет поля CurrencyCode"},
      {"unknown currency", With(Sale, u"CurrencyCode", std::u16string(u"999")), "неизвестный код валюты \"999\""},
      {"currency by letters", With(Sale, u"CurrencyCode", std::u16string(u"RUB")), "неизвестный код валюты \"RUB\""},
      {"euro", With(Sale, u"CurrencyCode", std::u16string(u"978")), ""},
      {"no card entry mode", Without(Sale, u"CardEntryMode"), "нет поля CardEntryMode"},
      {"no date and time", Without(Sale, u"TerminalDateTime"), "нет поля TerminalDateTime"},
      {"empty date and time", With(Sale, u"TerminalDateTime", std::u16string()), "неверные дата и время"},
      {"date and time with separators", With(Sale, u"TerminalDateTime", std::u16string(u"2024.03.05 10:20")),
       "неверные дата и время TerminalDateTime \"2024.03.05 10:20\""},
      {"13 digits", With(Sale, u"TerminalDateTime", std::u16string(u"2024030510203")), "неверные дата и время"},
      {"month 13", With(Sale, u"TerminalDateTime", std::u16string(u"20241305102030")), "неверные дата и время"},
      {"29 February of 2023", With(Sale, u"TerminalDateTime", std::u16string(u"20230229102030")),
       "неверные дата и время"},
      {"29 February of 2024", With(Sale, u"TerminalDateTime", std::u16string(u"20240229102030")), ""},
      {"hour 24", With(Sale, u"TerminalDateTime", std::u16string(u"20240305242030")), "неверные дата и время"},
      {"12-hour clock's 00", With(Sale, u"TerminalDateTime", std::u16string(u"20240305002030")), ""},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    FControl->Call(u"Reset", {});
    std::string Failure = ToUtf8(FailureOf([&] { Exchange(Packet(C.Fields)); }));
    if (*C.Message == '\0') {
      EXPECT_EQ(Failure, "");
      EXPECT_EQ(ControlNumber(u"JournalCount"), 1);
      continue;
    }
    EXPECT_NE(Failure.find(std::string("Запрос отклонён коннектором: ") + C.Message), std::string::npos) << Failure;
    EXPECT_EQ(ControlNumber(u"ExchangeCount"), 1);
    EXPECT_EQ(ControlNumber(u"JournalCount"), 0);
    EXPECT_NE(Shown(u"LastRequest"), "") << "the refused request is shown";
  }
}

// The totals reports are the terminal's own: only the terminal is named. A
// receipt copy is not one of them.
TEST_F(Strict, TotalsReportsNeedOnlyTheTerminal) {
  for (int32_t Mode2 : {20, 21}) {
    ObjectRef Report = Exchange(Packet({{u"OperationCode", 63},
                                        {u"CommandMode", 0},
                                        {u"CommandMode2", Mode2},
                                        {u"TerminalId", std::u16string(u"00000001")}}));
    EXPECT_EQ(Text(Report, u"Status"), "1") << Mode2;
  }
  EXPECT_NE(ToUtf8(FailureOf([&] {
              Exchange(Packet({{u"OperationCode", 63}, {u"CommandMode2", 20}}));
            })),
            "")
      << "no terminal named";
  EXPECT_NE(ToUtf8(FailureOf([&] {
              Exchange(Packet({{u"OperationCode", 63},
                               {u"CommandMode2", 21},
                               {u"TerminalId", std::u16string(u"00000001")},
                               {u"TerminalDateTime", std::u16string(u"yesterday")}}));
            })).find("неверные дата и время"),
            std::string::npos)
      << "a common field that is there is checked";
  EXPECT_NE(ToUtf8(FailureOf([&] {
              Exchange(Packet({{u"OperationCode", 63},
                               {u"CommandMode", 1},
                               {u"CommandMode2", 22},
                               {u"TerminalId", std::u16string(u"00000001")}}));
            })).find("нет поля"),
            std::string::npos)
      << "a receipt copy is no totals report";
}

// Two exchanges closer than 250 ms: the terminal is still printing.
TEST_F(Strict, TerminalIsBusyForAQuarterOfASecondAfterAnswering) {
  EXPECT_EQ(Text(ExchangeAtOnce(Request(kSale)), u"Status"), "1") << "the first exchange never waits";
  ObjectRef Busy = ExchangeAtOnce(Request(kSale));
  EXPECT_EQ(Text(Busy, u"Status"), "20");
  EXPECT_EQ(Text(Busy, u"CommandResult"), "20");
  EXPECT_EQ(Text(Busy, u"TextResponse"), "Терминал занят: идёт печать чека, повторите операцию");
  EXPECT_EQ(Text(Busy, u"ReceiptData"), "");
  EXPECT_EQ(Text(Busy, u"ReferenceNumber"), "");
  EXPECT_EQ(ControlNumber(u"JournalCount"), 1) << "nothing done";
  EXPECT_EQ(ControlNumber(u"ExchangeCount"), 2);

  Clock.SleepMs(249);
  EXPECT_EQ(Text(ExchangeAtOnce(Request(kSale)), u"Status"), "20");
  Clock.SleepMs(1);  // 250 ms after the answer: the refusals made it no busier
  EXPECT_EQ(Text(ExchangeAtOnce(Request(kSale)), u"Status"), "1");
  EXPECT_EQ(ControlNumber(u"JournalCount"), 2);

  // A busy answer leaves a one-shot fault for the next exchange the terminal
  // takes; a failed exchange is no answer and leaves the terminal free.
  Configure(u"NextFault=ExchangeFails");
  EXPECT_EQ(Text(ExchangeAtOnce(Request(kSale)), u"Status"), "20");
  Clock.SleepMs(kPacingMs);
  EXPECT_ANY_THROW(ExchangeAtOnce(Request(kSale)));
  EXPECT_EQ(Text(ExchangeAtOnce(Request(kSale)), u"Status"), "1");
}

TEST_F(Strict, BusyRuleCountsAcrossTheTickCountersWrapAround) {
  Clock.Ticks = 0xFFFFFF00u;
  ExchangeAtOnce(Request(kSale));
  Clock.SleepMs(0x100 + 100);  // 100 ms after the wrap: 356 ms later
  EXPECT_EQ(Text(ExchangeAtOnce(Request(kSale)), u"Status"), "1");
  Clock.SleepMs(10);
  EXPECT_EQ(Text(ExchangeAtOnce(Request(kSale)), u"Status"), "20");
}

TEST_F(Strict, ChannelIsCheckedAndARefusedPortCannotBeOpened) {
  struct Case {
    std::vector<int32_t> Channel;
    const char* Message;  // empty: accepted
  } const Cases[] = {
      {{0, 115200, 8, 0, 0, 2}, ""},
      {{0, 0, 8, 0, 0, 2}, ""},  // TCP/IP: the speed is not looked at
      {{3, 9600, 8, 0, 0, 2}, ""},
      {{255, 115200, 8, 0, 0, 2}, ""},
      {{-3, 115200, 8, 0, 0, 2}, "неверный номер порта -3"},
      {{256, 115200, 8, 0, 0, 2}, "неверный номер порта 256"},
      {{1, 12345, 8, 0, 0, 2}, "неверная скорость обмена 12345"},
      {{1, 0, 8, 0, 0, 2}, "неверная скорость обмена 0"},
      {{0, 115200, 7, 0, 0, 2}, "неверные параметры кадра 7,0,0,2"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Message);
    ObjectRef Link = automation::CreateObject(u"Tandemix.TXLink");
    Link->Call(u"InitResources", {});
    std::vector<automation::Argument> Args;
    for (int32_t P : C.Channel) Args.push_back(automation::Argument::ByValue(P));
    std::string Failure = ToUtf8(FailureOf([&] { Link->Call(u"SetChannelTerminalParam", Args); }));
    Value Req = Request({{u"OperationCode", 26}}), Resp = Packet({}), Wait = 1000;
    automation::Argument ExchangeArgs[] = {automation::Argument::ByRef(Req), automation::Argument::ByRef(Resp),
                                           automation::Argument::ByRef(Wait)};
    Clock.SleepMs(kPacingMs);
    if (*C.Message == '\0') {
      EXPECT_EQ(Failure, "");
      EXPECT_NO_THROW(Link->Call(u"Exchange", ExchangeArgs));
      continue;
    }
    EXPECT_NE(Failure.find(std::string("SetChannelTerminalParam: ") + C.Message), std::string::npos) << Failure;
    std::string ExchangeFailure = ToUtf8(FailureOf([&] { Link->Call(u"Exchange", ExchangeArgs); }));
    EXPECT_NE(ExchangeFailure.find("Канал связи с терминалом не открыт"), std::string::npos) << ExchangeFailure;
    std::string InitFailure = ToUtf8(FailureOf([&] { Link->Call(u"InitResources", {}); }));
    EXPECT_NE(InitFailure.find("Не удалось открыть порт"), std::string::npos) << InitFailure;
    EXPECT_NE(ToUtf8(FailureOf([&] { Link->Call(u"Exchange", ExchangeArgs); })), "")
        << "not open after the failed InitResources";
    EXPECT_NE(Shown(u"LastChannel"), "");
  }
  // A new link starts without the refused channel.
  EXPECT_EQ(Text(Run({{u"OperationCode", 26}}), u"Status"), "1");
}

TEST_F(Strict, ChannelTakesIntegersOnly) {
  ObjectRef Link = automation::CreateObject(u"Tandemix.TXLink");
  Value Port = std::u16string(u"1");
  std::vector<automation::Argument> Args = {automation::Argument::ByValue(Port)};
  for (int32_t P : {115200, 8, 0, 0, 2}) Args.push_back(automation::Argument::ByValue(P));
  EXPECT_NE(ToUtf8(FailureOf([&] {
              Link->Call(u"SetChannelTerminalParam", Args);
            })).find("SetChannelTerminalParam, argument 1 takes an integer"),
            std::string::npos);
}

// The connector fills the packet it was given: what an earlier answer left
// there stays unless the new answer overwrites it.
TEST_F(Strict, ResponsePacketIsFilledInPlace) {
  ObjectRef Response = Packet({});
  Response->Put(u"FileData", std::u16string(u"put by the caller"));
  Exchange(Request(kSale), 180000, Response);
  EXPECT_EQ(Text(Response, u"FileData"), "put by the caller");
  const std::string Pan = Text(Response, u"PAN");
  EXPECT_EQ(Pan, "220000******7890");

  Exchange(Request({{u"OperationCode", 26}}), 180000, Response);
  EXPECT_EQ(Text(Response, u"TextResponse"), "Связь с банком установлена");
  EXPECT_EQ(Text(Response, u"PAN"), Pan) << "left by the sale";
  EXPECT_EQ(Text(Response, u"ReceiptData"), "") << "overwritten";
}

TEST_F(Strict, LenientModeLetsEverythingThrough) {
  Configure(u"Strict=0");
  // No common fields, numbers as texts, arguments by value, 0 ms apart.
  ObjectRef Request = Packet({{u"OperationCode", std::u16string(u"1")}, {u"Amount", 12345}});
  ObjectRef Link = automation::CreateObject(u"Tandemix.TXLink");
  Link->Call(u"InitResources", {});
  std::vector<automation::Argument> Channel = {automation::Argument::ByValue(-3)};
  for (int32_t P : {115200, 8, 0, 0, 2}) Channel.push_back(automation::Argument::ByValue(P));
  EXPECT_NO_THROW(Link->Call(u"SetChannelTerminalParam", Channel));
  ObjectRef Response = Packet({{u"FileData", std::u16string(u"old")}});
  for (int I = 0; I < 2; ++I) {
    automation::Argument Args[] = {automation::Argument::ByValue(Request), automation::Argument::ByValue(Response),
                                   automation::Argument::ByValue(std::u16string(u"1000"))};
    Link->Call(u"Exchange", Args);
    EXPECT_EQ(Text(Response, u"Status"), "1");
    EXPECT_EQ(Text(Response, u"FileData"), "") << "the answer replaces the packet";
  }
  EXPECT_EQ(ControlNumber(u"JournalCount"), 2);
}

}  // namespace
}  // namespace simtest
