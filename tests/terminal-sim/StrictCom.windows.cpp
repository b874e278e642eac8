// The COM server's own IDispatch, called as a script host or a typed client
// would call it: typed VT_BYREF arguments count as by reference exactly as
// VT_BYREF|VT_VARIANT ones (what the automation layer sends), and arguments
// by value are refused by Exchange in strict mode, as through the provider
// library on Linux.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "SimTest.h"
#include "platform/Text.h"

namespace simtest {
namespace {

class ComStrict : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    const HRESULT Started = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    FComStarted = Started == S_OK || Started == S_FALSE;
  }
  void TearDown() override {
    for (IDispatch* D : FObjects) D->Release();
    if (FComStarted) ::CoUninitialize();
    SimTest::TearDown();
  }

  IDispatch* Create(const wchar_t* ProgId) {
    CLSID Clsid{};
    EXPECT_EQ(::CLSIDFromProgID(ProgId, &Clsid), S_OK);
    IDispatch* Object = nullptr;
    EXPECT_EQ(
        ::CoCreateInstance(Clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&Object)),
        S_OK);
    if (Object) FObjects.push_back(Object);
    return Object;
  }

  static DISPID IdOf(IDispatch* Object, const wchar_t* Name) {
    DISPID Id = DISPID_UNKNOWN;
    LPOLESTR Names[] = {const_cast<LPOLESTR>(Name)};
    EXPECT_EQ(Object->GetIDsOfNames(IID_NULL, Names, 1, LOCALE_USER_DEFAULT, &Id), S_OK);
    return Id;
  }

  // The failure's text, empty on success. Args in call order.
  static std::string Invoke(IDispatch* Object, const wchar_t* Name, WORD Flags, std::vector<VARIANT> Args,
                            VARIANT* Result = nullptr) {
    std::vector<VARIANT> Reversed(Args.rbegin(), Args.rend());
    DISPID Put = DISPID_PROPERTYPUT;
    DISPPARAMS Params{Reversed.data(), Flags == DISPATCH_PROPERTYPUT ? &Put : nullptr,
                      static_cast<UINT>(Reversed.size()), Flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    EXCEPINFO Error{};
    const HRESULT Hr =
        Object->Invoke(IdOf(Object, Name), IID_NULL, LOCALE_USER_DEFAULT, Flags, &Params, Result, &Error, nullptr);
    std::string Text;
    if (Hr == DISP_E_EXCEPTION && Error.bstrDescription)
      Text = ToUtf8(FromWide(std::wstring_view(Error.bstrDescription, ::SysStringLen(Error.bstrDescription))));
    else if (FAILED(Hr))
      Text = "HRESULT " + std::to_string(static_cast<long>(Hr));
    ::SysFreeString(Error.bstrSource);
    ::SysFreeString(Error.bstrDescription);
    ::SysFreeString(Error.bstrHelpFile);
    return Text;
  }

  static VARIANT Int(LONG V) {
    VARIANT Out;
    ::VariantInit(&Out);
    Out.vt = VT_I4;
    Out.lVal = V;
    return Out;
  }

  void PutText(IDispatch* Packet, const wchar_t* Name, const wchar_t* Text) {
    VARIANT V;
    ::VariantInit(&V);
    V.vt = VT_BSTR;
    V.bstrVal = ::SysAllocString(Text);
    EXPECT_EQ(Invoke(Packet, Name, DISPATCH_PROPERTYPUT, {V}), "");
    ::VariantClear(&V);
  }

  IDispatch* Request() {
    IDispatch* Packet = Create(L"Tandemix.SAPacket");
    EXPECT_EQ(Invoke(Packet, L"OperationCode", DISPATCH_PROPERTYPUT, {Int(26)}), "");
    EXPECT_EQ(Invoke(Packet, L"CardEntryMode", DISPATCH_PROPERTYPUT, {Int(3)}), "");
    PutText(Packet, L"CurrencyCode", L"643");
    PutText(Packet, L"TerminalId", L"00000001");
    PutText(Packet, L"TerminalDateTime", L"20240305102030");
    return Packet;
  }

  bool FComStarted = false;
  std::vector<IDispatch*> FObjects;
};

TEST_F(ComStrict, TypedByReferenceArgumentsAreByReference) {
  IDispatch* Link = Create(L"Tandemix.TXLink");
  IDispatch* Req = Request();
  IDispatch* Resp = Create(L"Tandemix.SAPacket");
  ASSERT_TRUE(Link && Req && Resp);
  ASSERT_EQ(Invoke(Link, L"InitResources", DISPATCH_METHOD, {}), "");

  IDispatch* RequestSlot = Req;
  IDispatch* ResponseSlot = Resp;
  LONG Timeout = 180000;
  VARIANT ByRef[3];
  for (VARIANT& V : ByRef) ::VariantInit(&V);
  ByRef[0].vt = VT_BYREF | VT_DISPATCH;
  ByRef[0].ppdispVal = &RequestSlot;
  ByRef[1].vt = VT_BYREF | VT_DISPATCH;
  ByRef[1].ppdispVal = &ResponseSlot;
  ByRef[2].vt = VT_BYREF | VT_I4;
  ByRef[2].plVal = &Timeout;
  EXPECT_EQ(Invoke(Link, L"Exchange", DISPATCH_METHOD, {ByRef[0], ByRef[1], ByRef[2]}), "");
  VARIANT Status;
  ::VariantInit(&Status);
  EXPECT_EQ(Invoke(Resp, L"Status", DISPATCH_PROPERTYGET, {}, &Status), "");
  EXPECT_EQ(Status.vt, VT_I4);
  EXPECT_EQ(Status.lVal, 1);
  EXPECT_EQ(ControlNumber(u"ExchangeCount"), 1);

  // Each one by value in turn: refused before the terminal sees it.
  VARIANT ByValue[3];
  for (VARIANT& V : ByValue) ::VariantInit(&V);
  ByValue[0].vt = VT_DISPATCH;
  ByValue[0].pdispVal = Req;
  ByValue[1].vt = VT_DISPATCH;
  ByValue[1].pdispVal = Resp;
  ByValue[2] = Int(180000);
  for (int Plain = 0; Plain < 3; ++Plain) {
    Clock.SleepMs(kPacingMs);
    std::vector<VARIANT> Args;
    for (int I = 0; I < 3; ++I) Args.push_back(I == Plain ? ByValue[I] : ByRef[I]);
    const std::string Failure = Invoke(Link, L"Exchange", DISPATCH_METHOD, Args);
    EXPECT_NE(Failure.find("(argument " + std::to_string(Plain + 1) + ") must be passed by reference (VT_BYREF)"),
              std::string::npos)
        << Failure;
  }
  EXPECT_EQ(ControlNumber(u"ExchangeCount"), 1);

  // The lenient mode takes them by value.
  Configure(u"Strict=0");
  EXPECT_EQ(Invoke(Link, L"Exchange", DISPATCH_METHOD, {ByValue[0], ByValue[1], ByValue[2]}), "");
  EXPECT_EQ(Invoke(Link, L"FreeResources", DISPATCH_METHOD, {}), "");
}

// A 64-bit Status comes as VT_I8, also for a small value.
TEST_F(ComStrict, Status64IsAnI8) {
  Configure(u"Fault=Status64");
  ObjectRef Response = Run({{u"OperationCode", 26}});
  EXPECT_EQ(Response->Get(u"Status"), Value(int64_t{1}));
}

}  // namespace
}  // namespace simtest
