// The standard acquiring methods on a probe driver whose operations record the
// transaction record they receive and answer with marked texts: parameter
// layouts and directions, amount conversion, outputs after a failure, the
// terminal-parameters document.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <cmath>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "acquiring/uAcquiringTerminalDriver.h"
#include "platform/Text.h"
#include "tests/bridge/FakeHost.h"

namespace {

// Registration wants every driver class to answer its own export table.
#define ORVEX_TEST_EXPORTS                                                             \
  static const TExportTable& Exports() { return TAcquiringTerminalDriver::Exports(); } \
  const TExportTable& ObjectExports() const override { return Exports(); }

class TProbeDriver : public TAcquiringTerminalDriver {
public:
  ORVEX_TEST_EXPORTS
  std::u16string GetTerminalId() const override { return u"T-1"; }
  void DoTerminalParameters(TTerminalCapabilities& C) override {
    Answer();
    C = {true, false, true, false, true, false, true};
  }
  void DoPayByPaymentCard(TTransactParams& R) override { Answer(R); }
  void DoReturnPayment(TTransactParams& R) override { Answer(R); }
  void DoCancelPayment(TTransactParams& R) override { Answer(R); }
  void DoAuthorisation(TTransactParams& R) override { Answer(R); }
  void DoAuthConfirmation(TTransactParams& R) override { Answer(R); }
  void DoCancelAuthorisation(TTransactParams& R) override { Answer(R); }
  void DoPayWithCashWithdrawal(TTransactParams& R) override { Answer(R); }
  void DoPayElectronicCertificate(TTransactParams& R) override { Answer(R); }
  void DoReturnElectronicCertificate(TTransactParams& R) override { Answer(R); }
  void DoGetCardParameters(bool AFromLastOperation, std::u16string& AQR, std::u16string&, std::u16string& AHash,
                           std::u16string& ACard, std::u16string& AType, int32_t&) override {
    Seen.ConsumerPresentedQR = AQR + (AFromLastOperation ? u"+last" : u"");
    AHash = u"d:Hash";
    ACard = u"d:Card";
    Answer();
    AType = u"d:Type";
  }
  void DoSettlement(std::u16string& AText) override {
    Answer();
    AText = u"d:Slip";
  }

  // Fills every field the way a terminal would, then fails when asked to.
  void Answer(TTransactParams& R) {
    Seen = R;
    std::u16string TTransactParams::*const Fields[] = {&TTransactParams::ConsumerPresentedQR,
                                                       &TTransactParams::CardNumber,
                                                       &TTransactParams::ReceiptNumber,
                                                       &TTransactParams::RRNCode,
                                                       &TTransactParams::AuthorizationCode,
                                                       &TTransactParams::Slip,
                                                       &TTransactParams::BasketID};
    for (auto Field : Fields) R.*Field = u"d:" + FieldName(Field);
    R.OperationStatus = 1;
    Answer();
  }
  void Answer() const {
    if (Fail) throw Exception(std::u16string(u"Отказ"));
  }
  static std::u16string FieldName(std::u16string TTransactParams::*Field) {
    if (Field == &TTransactParams::ConsumerPresentedQR) return u"QR";
    if (Field == &TTransactParams::CardNumber) return u"Card";
    if (Field == &TTransactParams::ReceiptNumber) return u"Rec";
    if (Field == &TTransactParams::RRNCode) return u"RRN";
    if (Field == &TTransactParams::AuthorizationCode) return u"Auth";
    if (Field == &TTransactParams::Slip) return u"Slip";
    return u"Basket";
  }

  TTransactParams Seen;
  bool Fail = false;
};

// The abstract class alone: every operation is missing.
class TBareDriver : public TAcquiringTerminalDriver {
public:
  ORVEX_TEST_EXPORTS
};

// The record as text: inputs that arrived, in a fixed order.
std::string Describe(const TTransactParams& R) {
  std::string Text = "Merchant=" + std::to_string(R.MerchantNumber);
  const std::pair<const char*, const std::u16string*> Texts[] = {
      {"QR", &R.ConsumerPresentedQR}, {"Card", &R.CardNumber}, {"Rec", &R.ReceiptNumber}, {"RRN", &R.RRNCode},
      {"Auth", &R.AuthorizationCode}, {"Basket", &R.BasketID}, {"Slip", &R.Slip}};
  for (const auto& [Name, Value] : Texts) {
    if (!Value->empty()) Text += std::string(" ") + Name + "=" + ToUtf8(*Value);
  }
  const std::pair<const char*, Currency> Amounts[] = {{"Amount", R.Amount},
                                                      {"Cash", R.AmountCash},
                                                      {"Orig", R.AmountOriginalTransaction},
                                                      {"Cert", R.ElectronicCertificateAmount},
                                                      {"Own", R.OwnFundsAmount}};
  for (const auto& [Name, Value] : Amounts) {
    if (Value != 0) Text += std::string(" ") + Name + "=" + std::to_string(Value);
  }
  return Text;
}

template <class TDriverClass>
class DriverCall {
public:
  explicit DriverCall(int32_t Count) : Params(static_cast<std::size_t>(Count)) { Driver.V8MM = &Memory; }
  ~DriverCall() {
    for (V8Variant& Record : Params) V8ClearVar(&Memory, Record);
    V8ClearVar(&Memory, Ret);
  }
  DriverCall(const DriverCall&) = delete;
  DriverCall& operator=(const DriverCall&) = delete;

  V8Variant& At(int32_t Index) { return Params[static_cast<std::size_t>(Index)]; }
  const V8Variant& At(int32_t Index) const { return Params[static_cast<std::size_t>(Index)]; }
  void Text(int32_t Index, std::u16string_view Value) { V8SetWString(&Memory, At(Index), Value); }
  void Number(int32_t Index, double Value) { V8SetDouble(&Memory, At(Index), Value); }
  void Integer(int32_t Index, int32_t Value) { V8SetInt(&Memory, At(Index), Value); }

  // The host's call by English name; the value the host reads as the outcome.
  bool Call(std::u16string_view Name) {
    static const TClassReg& Class = TCustomDriver::RegisterClass<TDriverClass>(
        std::is_same_v<TDriverClass, TProbeDriver> ? u"AcquiringProbe" : u"AcquiringBare");
    const TMethReg* Method = Class.Method(Class.FindMethod(Name));
    EXPECT_NE(Method, nullptr) << ToUtf8(Name);
    TV8AddInDefBaseEx* Connection = nullptr;
    EXPECT_TRUE(Method &&
                Method->ExecuteFunc(Driver, &Ret, Params.data(), static_cast<int32_t>(Params.size()), Connection));
    return Ret.vt == VTYPE_BOOL && Ret.bVal;
  }
  std::u16string Output(int32_t Index) const { return V8AsWString(At(Index)); }

  CountingMemoryManager Memory;
  TDriverClass Driver;
  std::vector<V8Variant> Params;
  V8Variant Ret{};
};

struct TLayoutCase {
  const char16_t* Method;
  int32_t Count;
  std::vector<int32_t> Amounts;
  const char* Read;     // the record the operation received
  const char* Written;  // "index:field" for each parameter written back
};

// Parameter 1 an integer, the amounts numbers (index + 0.5), the rest texts
// "h<index>"; the operation answers "d:<field>" in every text field.
void FillInputs(DriverCall<TProbeDriver>& Call, const TLayoutCase& Case) {
  Call.Integer(1, -7);
  for (int32_t Index = 2; Index < Case.Count; ++Index) Call.Text(Index, u"h" + IntToText(Index));
  for (int32_t Index : Case.Amounts) Call.Number(Index, Index + 0.5);
}

std::string WrittenBack(const DriverCall<TProbeDriver>& Call) {
  std::string Text;
  for (int32_t Index = 1; Index < static_cast<int32_t>(Call.Params.size()); ++Index) {
    const V8Variant& Value = Call.At(Index);
    std::string Field;
    if (Value.vt == VTYPE_PWSTR && Call.Output(Index).rfind(u"d:", 0) == 0)
      Field = ToUtf8(Call.Output(Index)).substr(2);
    if (Value.vt == VTYPE_PWSTR && Call.Output(Index).empty()) Field = "\"\"";
    if (Value.vt == VTYPE_I4 && Index > 1) Field = "Status" + std::to_string(Value.lVal);
    if (!Field.empty()) Text += (Text.empty() ? "" : " ") + std::to_string(Index) + ":" + Field;
  }
  return Text;
}

const TLayoutCase kLayouts[] = {
    {u"PayByPaymentCard",
     9,
     {3},
     "Merchant=-7 QR=h2 Card=h4 Rec=h5 RRN=h6 Auth=h7 Amount=35000",
     "4:Card 5:Rec 6:RRN 7:Auth 8:Slip"},
    {u"ReturnPaymantByPaymantCard",
     9,
     {3},
     "Merchant=-7 QR=h2 Card=h4 Rec=h5 RRN=h6 Auth=h7 Amount=35000",
     "4:Card 5:Rec 6:RRN 8:Slip"},
    {u"CancelPaymentByPaymentCard",
     10,
     {3, 4},
     "Merchant=-7 QR=h2 Card=h5 Rec=h6 RRN=h7 Auth=h8 Amount=35000 Orig=45000",
     "5:Card 6:Rec 9:Slip"},
    {u"AuthorisationByPaymentCard",
     9,
     {3},
     "Merchant=-7 QR=h2 Card=h4 Rec=h5 Amount=35000",
     "4:Card 5:Rec 6:RRN 7:Auth 8:Slip"},
    {u"AuthConfirmationByPaymentCard", 9, {3}, "Merchant=-7 QR=h2 Card=h4 Rec=h5 Amount=35000", "4:Card 5:Rec 8:Slip"},
    {u"CancelAuthorisationByPaymentCard",
     9,
     {3},
     "Merchant=-7 QR=h2 Card=h4 Rec=h5 RRN=h6 Auth=h7 Amount=35000",
     "4:Card 5:Rec 8:Slip"},
    {u"PayByPaymentCardWithCashWithdrawal",
     10,
     {3, 4},
     "Merchant=-7 QR=h2 Amount=35000 Cash=45000",
     "5:Card 6:Rec 7:RRN 8:Auth 9:Slip"},
    {u"PayElectronicCertificate",
     12,
     {4, 5},
     "Merchant=-7 QR=h2 Basket=h3 Cert=45000 Own=55000",
     "3:Basket 6:Card 7:Rec 8:RRN 9:Auth 10:Status1 11:Slip"},
    {u"ReturnElectronicCertificate",
     12,
     {4, 5},
     "Merchant=-7 QR=h2 Card=h6 Rec=h7 RRN=h8 Basket=h3 Cert=45000 Own=55000",
     "3:Basket 6:Card 7:Rec 8:RRN 9:Auth 10:Status1 11:Slip"},
};

TEST(AcquiringLayouts, InputsReachTheRecordAndOutputsComeBackAlsoAfterAFailure) {
  for (const TLayoutCase& Case : kLayouts) {
    for (const bool Fail : {false, true}) {
      SCOPED_TRACE(ToUtf8(Case.Method) + (Fail ? " failing" : ""));
      DriverCall<TProbeDriver> Call(Case.Count);
      Call.Driver.Fail = Fail;
      FillInputs(Call, Case);
      EXPECT_EQ(Call.Call(Case.Method), !Fail);
      EXPECT_EQ(Describe(Call.Driver.Seen), Case.Read);
      EXPECT_EQ(WrittenBack(Call), Case.Written);
      EXPECT_EQ(Call.Driver.LastResult().GetIntResult(), Fail ? 1001 : 0);
      EXPECT_EQ(Call.Driver.LastResult().ErrorDescription, Fail ? u"Отказ" : u"");
    }
  }
}

TEST(AcquiringLayouts, FewerParametersThanTheMethodReadsFail) {
  DriverCall<TProbeDriver> Call(8);
  EXPECT_FALSE(Call.Call(u"PayByPaymentCard"));
  EXPECT_EQ(Call.Driver.LastResult().GetIntResult(), 1001);
  EXPECT_EQ(Describe(Call.Driver.Seen), "Merchant=0");
}

TEST(AmountToCurrency, ExactProductRoundedHalfToEven) {
  const std::pair<double, Currency> Cases[] = {
      {0.03125, 312},
      {0.09375, 938},
      {-0.03125, -312},
      {1.005, 10050},
      {0.015, 150},
      {0.00025, 3},
      {0.00035, 3},
      {0.00005, 1},
      {0.000025, 0},
      {12.5, 125000},
      {0.0, 0},
      {-0.0, 0},
      {9e14, 9000000000000000000},
      {-9e14, -9000000000000000000},
  };
  for (const auto& [Value, Expected] : Cases) EXPECT_EQ(AmountToCurrency(Value), Expected) << Value;
}

TEST(AmountToCurrency, RefusesWhatTheCurrencyCannotHold) {
  const std::pair<double, const char16_t*> Cases[] = {
      {std::numeric_limits<double>::quiet_NaN(), u"Недопустимая сумма: NAN"},
      {std::numeric_limits<double>::infinity(), u"Недопустимая сумма: INF"},
      {-std::numeric_limits<double>::infinity(), u"Недопустимая сумма: -INF"},
      {922337203685477.6, u"Недопустимая сумма: 922337203685478"},
      {-1e300, u"Недопустимая сумма: -1E300"},
  };
  for (const auto& [Value, Message] : Cases) {
    try {
      AmountToCurrency(Value);
      ADD_FAILURE() << Value << " accepted";
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), Message);
    }
  }
}

TEST(AcquiringAmounts, HostValuesOfEveryKind) {
  struct {
    const char* Name;
    void (*Fill)(DriverCall<TProbeDriver>&);
    bool Ok;
    const char* Read;
  } Cases[] = {
      {"text with a full stop", [](auto& C) { C.Text(3, u"12.5"); }, true, "Merchant=0 Auth=kept Amount=125000"},
      {"text with a comma", [](auto& C) { C.Text(3, u"12,5"); }, true, "Merchant=0 Auth=kept"},
      {"number as card number", [](auto& C) { C.Number(4, 5); }, true, "Merchant=0 Auth=kept"},
      {"device id of another type", [](auto& C) { C.Number(0, 1.5); }, true, "Merchant=0 Auth=kept"},
      {"infinite amount", [](auto& C) { C.Number(3, HUGE_VAL); }, false, "Merchant=0"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    DriverCall<TProbeDriver> Call(9);
    Call.Text(7, u"kept");
    Case.Fill(Call);
    EXPECT_EQ(Call.Call(u"PayByPaymentCard"), Case.Ok);
    EXPECT_EQ(Describe(Call.Driver.Seen), Case.Read);
    // A refused amount stops the method before the terminal and before any output.
    EXPECT_EQ(Call.Output(7), Case.Ok ? u"d:Auth" : u"kept");
  }
}

TEST(AcquiringCardParameters, DefaultsAndResultsAlsoAfterAFailure) {
  for (const bool Fail : {false, true}) {
    DriverCall<TProbeDriver> Call(8);
    Call.Driver.Fail = Fail;
    Call.Text(1, u"qr");
    V8SetBool(&Call.Memory, Call.Params[2], true);
    EXPECT_EQ(Call.Call(u"GetCardParametrs"), !Fail);
    EXPECT_EQ(Call.Driver.Seen.ConsumerPresentedQR, u"qr+last");
    EXPECT_EQ(Call.Output(3), u"");
    EXPECT_EQ(Call.Output(4), u"d:Hash");
    EXPECT_EQ(Call.Output(5), u"d:Card");
    EXPECT_EQ(Call.Output(6), Fail ? u"Unknown" : u"d:Type");
    EXPECT_EQ(Call.Params[7].vt, VTYPE_I4);
    EXPECT_EQ(Call.Params[7].lVal, 0);
  }
}

TEST(AcquiringDocuments, TerminalParametersInOrderAndUnchangedOnFailure) {
  DriverCall<TProbeDriver> Call(2);
  ASSERT_TRUE(Call.Call(u"TerminalParameters"));
  const std::u16string Text = Call.Output(1);
  EXPECT_EQ(Text.rfind(u"<?xml version=\"1.0\"?>", 0), 0u) << ToUtf8(Text);
  pugi::xml_document Document;
  const std::string Utf8 = ToUtf8(Text);
  ASSERT_TRUE(Document.load_buffer(Utf8.data(), Utf8.size()));
  std::string Attributes;
  for (const pugi::xml_attribute& A : Document.child("TerminalParameters").attributes()) {
    Attributes += std::string(A.name()) + "=" + A.value() + " ";
  }
  EXPECT_EQ(Attributes,
            "TerminalID=T-1 PrintSlipOnTerminal=true ShortSlip=false CashWithdrawal=true "
            "ElectronicCertificates=false PartialCancellation=true ConsumerPresentedQR=false "
            "ListCardTransactions=true ");

  const struct {
    const char16_t* Method;
    const char16_t* Output;
  } Cases[] = {{u"TerminalParameters", nullptr}, {u"Settelment", u"d:Slip"}};
  for (const auto& Case : Cases) {
    for (const bool Fail : {false, true}) {
      DriverCall<TProbeDriver> Settle(2);
      Settle.Driver.Fail = Fail;
      Settle.Text(1, u"host");
      EXPECT_EQ(Settle.Call(Case.Method), !Fail);
      if (Fail || Case.Output) {
        EXPECT_EQ(Settle.Output(1), Fail ? u"host" : Case.Output);
      }
    }
  }
}

TEST(AcquiringBare, MissingOperationsFailAsAbstractAndRevisionIs4000) {
  DriverCall<TBareDriver> Call(2);
  Call.Text(1, u"host");
  EXPECT_FALSE(Call.Call(u"GetOperationByCards"));
  EXPECT_EQ(Call.Driver.LastResult().GetIntResult(), 1001);
  EXPECT_EQ(Call.Driver.LastResult().ErrorDescription, u"Abstract Error");
  EXPECT_EQ(Call.Output(1), u"host");
  EXPECT_EQ(DriverInfo().EquipmentType, TEquipmentType::etAcquiringTerminal);
  EXPECT_EQ(Call.Driver.GetRevision(), 4000);
}

}  // namespace
