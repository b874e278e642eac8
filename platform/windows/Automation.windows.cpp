// Automation objects on Windows are real COM objects, called late-bound
// through IDispatch the way script hosts call them.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Automation.h"
#include "platform/Exception.h"
#include "platform/Text.h"

namespace automation {

namespace {

std::u16string Hex32(uint32_t Number) {
  std::u16string Text = u"0x";
  for (int Shift = 28; Shift >= 0; Shift -= 4) Text += u"0123456789ABCDEF"[(Number >> Shift) & 0xFu];
  return Text;
}

std::u16string SystemText(DWORD Code) {
  wchar_t* Buffer = nullptr;
  const DWORD Length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, Code, 0, reinterpret_cast<wchar_t*>(&Buffer), 0, nullptr);
  const std::u16string Text(TrimControl(Length > 0 ? FromWide(std::wstring_view(Buffer, Length)) : std::u16string()));
  ::LocalFree(Buffer);
  return Text;
}

// Windows' own texts of the errors a late-bound caller meets most, for systems
// whose message tables lack them (Wine has none for these codes).
std::u16string_view KnownAutomationText(HRESULT Code) {
  switch (Code) {
    case CO_E_CLASSSTRING: return u"Invalid class string";
    case REGDB_E_CLASSNOTREG: return u"Class not registered";
    case CO_E_SERVER_EXEC_FAILURE: return u"Server execution failed";
    case E_NOINTERFACE: return u"No such interface supported";
    case DISP_E_UNKNOWNNAME: return u"Unknown name.";
    case DISP_E_MEMBERNOTFOUND: return u"Member not found.";
    case DISP_E_PARAMNOTFOUND: return u"Parameter not found.";
    case DISP_E_TYPEMISMATCH: return u"Type mismatch.";
    case DISP_E_BADVARTYPE: return u"Bad variable type.";
    case DISP_E_EXCEPTION: return u"Exception occurred.";
    case DISP_E_OVERFLOW: return u"Out of present range.";
    case DISP_E_BADPARAMCOUNT: return u"Invalid number of parameters.";
    case DISP_E_PARAMNOTOPTIONAL: return u"Parameter not optional.";
    default: return {};
  }
}

// The system's text for an automation error ("Invalid class string", "Unknown
// name."), or the code itself where nobody has a text for it.
std::u16string TextOf(HRESULT Code) {
  std::u16string Text = SystemText(static_cast<DWORD>(Code));
  if (Text.empty()) Text = KnownAutomationText(Code);
  if (Text.empty() && HRESULT_FACILITY(Code) == FACILITY_WIN32) Text = SystemText(HRESULT_CODE(Code));
  return Text.empty() ? u"Automation error " + Hex32(static_cast<uint32_t>(Code)) : Text;
}

[[noreturn]] void Raise(HRESULT Code) { throw Exception(TextOf(Code)); }

void Check(HRESULT Code) {
  if (FAILED(Code)) Raise(Code);
}

std::u16string FromBstr(BSTR Text) {
  return Text != nullptr ? FromWide(std::wstring_view(Text, ::SysStringLen(Text))) : std::u16string();
}

// What this thread's COM owes us: the objects we hold on it, and whether we
// initialised COM for them (then we also end it after the last one).
struct ThreadApartment {
  unsigned Users = 0;
  bool InitialisedByUs = false;
};
thread_local ThreadApartment Apartment;

// Held by every object for its life, and by CreateObject while it works. A
// host that initialised COM its own way (RPC_E_CHANGED_MODE) keeps it as it is.
class ApartmentUse {
public:
  ApartmentUse() : FThread(::GetCurrentThreadId()) {
    if (Apartment.Users == 0) {
      const HRESULT Result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      if (FAILED(Result) && Result != RPC_E_CHANGED_MODE) Raise(Result);
      Apartment.InitialisedByUs = SUCCEEDED(Result);
    }
    ++Apartment.Users;
  }
  // An object released on another thread cannot end the COM of the thread
  // that made it; that thread keeps COM until it ends.
  ~ApartmentUse() {
    if (::GetCurrentThreadId() != FThread) return;
    if (--Apartment.Users == 0 && Apartment.InitialisedByUs) {
      Apartment.InitialisedByUs = false;
      ::CoUninitialize();
    }
  }
  ApartmentUse(const ApartmentUse&) = delete;
  ApartmentUse& operator=(const ApartmentUse&) = delete;

private:
  DWORD FThread;
};

struct ReleaseDispatch {
  void operator()(IDispatch* Dispatch) const { Dispatch->Release(); }
};
using DispatchPtr = std::unique_ptr<IDispatch, ReleaseDispatch>;

// Clears a VARIANT when it goes out of scope, whatever it holds.
class VariantHolder {
public:
  VariantHolder() { ::VariantInit(&FVariant); }
  ~VariantHolder() { ::VariantClear(&FVariant); }
  VariantHolder(const VariantHolder&) = delete;
  VariantHolder& operator=(const VariantHolder&) = delete;
  VARIANT* Ptr() { return &FVariant; }
  const VARIANT& Get() const { return FVariant; }

private:
  VARIANT FVariant;
};

void ToVariant(const Value& Source, VARIANT& Target);
Value FromVariant(const VARIANT& Source);

class DispatchObject final : public Object {
public:
  explicit DispatchObject(DispatchPtr Dispatch) : FDispatch(std::move(Dispatch)) {}
  IDispatch* Dispatch() const noexcept { return FDispatch.get(); }

  void Put(std::u16string_view Name, const Value& V) override {
    VariantHolder Argument;
    ToVariant(V, *Argument.Ptr());
    DISPID Named = DISPID_PROPERTYPUT;
    DISPPARAMS Params{Argument.Ptr(), &Named, 1, 1};
    Invoke(Name, DISPATCH_PROPERTYPUT, Params, nullptr);
  }

  Value Get(std::u16string_view Name) override {
    DISPPARAMS Params{nullptr, nullptr, 0, 0};
    VariantHolder Result;
    Invoke(Name, DISPATCH_PROPERTYGET, Params, Result.Ptr());
    return FromVariant(Result.Get());
  }

  Value Call(std::u16string_view Name, std::span<Argument> Args) override;

private:
  DISPID IdOf(std::u16string_view Name) const;
  void Invoke(std::u16string_view Name, WORD Flags, DISPPARAMS& Params, VARIANT* Result);

  // Declared first: COM stays initialised until the object is released.
  ApartmentUse FApartment;
  DispatchPtr FDispatch;
};

// Takes a reference of its own: the VARIANT it came in keeps one too.
ObjectRef Wrap(IDispatch* Dispatch) {
  if (Dispatch == nullptr) return nullptr;
  Dispatch->AddRef();
  return std::make_shared<DispatchObject>(DispatchPtr(Dispatch));
}

IDispatch* DispatchOf(const ObjectRef& Source) {
  if (!Source) return nullptr;
  const auto* Com = dynamic_cast<const DispatchObject*>(Source.get());
  if (Com == nullptr) {
    throw Exception(std::u16string(u"Only objects made by CreateObject can be passed to an automation object"));
  }
  return Com->Dispatch();
}

BSTR NewBstr(const std::u16string& Text) {
  const std::wstring Wide = ToWide(Text);
  BSTR Result = ::SysAllocStringLen(Wide.data(), static_cast<UINT>(Wide.size()));
  if (Result == nullptr) Raise(E_OUTOFMEMORY);
  return Result;
}

// Target must be empty; it owns what is put into it.
void ToVariant(const Value& Source, VARIANT& Target) {
  struct Writer {
    VARIANT& Out;
    void operator()(std::monostate) const { V_VT(&Out) = VT_EMPTY; }
    void operator()(int32_t N) const {
      V_VT(&Out) = VT_I4;
      V_I4(&Out) = N;
    }
    void operator()(int64_t N) const {
      V_VT(&Out) = VT_I8;
      V_I8(&Out) = N;
    }
    void operator()(bool B) const {
      V_VT(&Out) = VT_BOOL;
      V_BOOL(&Out) = B ? VARIANT_TRUE : VARIANT_FALSE;
    }
    void operator()(const std::u16string& Text) const {
      V_BSTR(&Out) = NewBstr(Text);
      V_VT(&Out) = VT_BSTR;
    }
    void operator()(const ObjectRef& Object) const {
      IDispatch* Dispatch = DispatchOf(Object);
      if (Dispatch != nullptr) Dispatch->AddRef();
      V_DISPATCH(&Out) = Dispatch;
      V_VT(&Out) = VT_DISPATCH;
    }
  };
  std::visit(Writer{Target}, Source);
}

// A kind we have no value for, changed into the nearest we have.
Value ChangedTo(const VARIANT& Source, VARTYPE Type) {
  VariantHolder Changed;
  // The source is only read; the declaration lacks its const.
  Check(::VariantChangeTypeEx(Changed.Ptr(), const_cast<VARIANT*>(&Source), LOCALE_INVARIANT, 0, Type));
  return FromVariant(Changed.Get());
}

ObjectRef DispatchOfUnknown(IUnknown* Unknown) {
  if (Unknown == nullptr) return nullptr;
  IDispatch* Dispatch = nullptr;
  Check(Unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&Dispatch)));
  DispatchPtr Owned(Dispatch);
  return std::make_shared<DispatchObject>(std::move(Owned));
}

// Null reads as Empty: a member that answers it has nothing to give.
Value FromVariant(const VARIANT& Source) {
  if ((V_VT(&Source) & VT_BYREF) != 0) {
    VariantHolder Plain;
    Check(::VariantCopyInd(Plain.Ptr(), const_cast<VARIANT*>(&Source)));
    return FromVariant(Plain.Get());
  }
  switch (V_VT(&Source)) {
    case VT_EMPTY:
    case VT_NULL: return {};
    case VT_I4: return static_cast<int32_t>(V_I4(&Source));
    case VT_I8: return static_cast<int64_t>(V_I8(&Source));
    case VT_BOOL: return V_BOOL(&Source) != VARIANT_FALSE;
    case VT_BSTR: return FromBstr(V_BSTR(&Source));
    case VT_DISPATCH: return Wrap(V_DISPATCH(&Source));
    case VT_UNKNOWN: return DispatchOfUnknown(V_UNKNOWN(&Source));
    case VT_I1:
    case VT_I2:
    case VT_UI1:
    case VT_UI2:
    case VT_INT: return ChangedTo(Source, VT_I4);
    case VT_UI4:
    case VT_UINT:
    case VT_UI8: return ChangedTo(Source, VT_I8);
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_DATE: return ChangedTo(Source, VT_BSTR);
    default:
      throw Exception(u"The automation object answered a value of the variant type " + IntToText(V_VT(&Source)) +
                      u", which has no counterpart here");
  }
}

// The error an automation object raised: its own description, else the
// system's text of its code.
[[noreturn]] void RaiseObjectError(EXCEPINFO& Info) {
  if (Info.pfnDeferredFillIn != nullptr) Info.pfnDeferredFillIn(&Info);
  const std::u16string Description(TrimControl(FromBstr(Info.bstrDescription)));
  ::SysFreeString(Info.bstrSource);
  ::SysFreeString(Info.bstrDescription);
  ::SysFreeString(Info.bstrHelpFile);
  if (!Description.empty()) throw Exception(Description);
  if (FAILED(Info.scode)) Raise(Info.scode);
  if (Info.wCode != 0) Raise(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, Info.wCode));
  Raise(DISP_E_EXCEPTION);
}

DISPID DispatchObject::IdOf(std::u16string_view Name) const {
  // A NUL would cut the name short and find another member.
  if (Name.find(u'\0') != std::u16string_view::npos) Raise(DISP_E_UNKNOWNNAME);
  std::wstring Wide = ToWide(Name);
  LPOLESTR Names[] = {Wide.data()};
  DISPID Id = DISPID_UNKNOWN;
  Check(FDispatch->GetIDsOfNames(IID_NULL, Names, 1, LOCALE_USER_DEFAULT, &Id));
  return Id;
}

void DispatchObject::Invoke(std::u16string_view Name, WORD Flags, DISPPARAMS& Params, VARIANT* Result) {
  const DISPID Id = IdOf(Name);
  EXCEPINFO Info{};
  UINT ArgumentInError = 0;
  const HRESULT Code =
      FDispatch->Invoke(Id, IID_NULL, LOCALE_USER_DEFAULT, Flags, &Params, Result, &Info, &ArgumentInError);
  if (Code == DISP_E_EXCEPTION) RaiseObjectError(Info);
  Check(Code);
}

// VARIANTs that start Empty (zero-filled, what VariantInit makes) and are
// cleared with the list, also when filling them failed half-way.
class VariantList {
public:
  explicit VariantList(std::size_t Count) : FItems(Count) {}
  ~VariantList() {
    for (VARIANT& Item : FItems) ::VariantClear(&Item);
  }
  VariantList(const VariantList&) = delete;
  VariantList& operator=(const VariantList&) = delete;
  VARIANT& operator[](std::size_t Index) { return FItems[Index]; }
  VARIANT* Data() { return FItems.data(); }
  std::size_t Size() const { return FItems.size(); }

private:
  std::vector<VARIANT> FItems;
};

// The arguments of one call as COM takes them: last first; a by-reference
// argument is a VT_BYREF|VT_VARIANT pointing at a VARIANT of its own that holds
// the value and takes the callee's write, as late-bound script hosts send them.
// Declared before FSlots, the targets outlive the references to them.
class CallArguments {
public:
  explicit CallArguments(std::span<Argument> Args) : FArgs(Args), FTargets(Args.size()), FSlots(Args.size()) {
    for (std::size_t I = 0; I < Args.size(); ++I) {
      VARIANT& Slot = FSlots[Args.size() - 1 - I];
      if (Args[I].IsByRef()) {
        ToVariant(Args[I].Get(), FTargets[I]);
        V_VT(&Slot) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&Slot) = &FTargets[I];
      } else {
        ToVariant(Args[I].Get(), Slot);
      }
    }
  }

  DISPPARAMS Params() { return DISPPARAMS{FSlots.Data(), nullptr, static_cast<UINT>(FSlots.Size()), 0}; }

  void WriteBack() {
    for (std::size_t I = 0; I < FArgs.size(); ++I) {
      if (FArgs[I].IsByRef()) FArgs[I].Set(FromVariant(FTargets[I]));
    }
  }

private:
  std::span<Argument> FArgs;
  VariantList FTargets;
  VariantList FSlots;
};

// Asked as a method that may also be a property with arguments (an indexed
// Item), as late-bound hosts ask when they want the result.
Value DispatchObject::Call(std::u16string_view Name, std::span<Argument> Args) {
  CallArguments Arguments(Args);
  DISPPARAMS Params = Arguments.Params();
  VariantHolder Result;
  Invoke(Name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, Params, Result.Ptr());
  Arguments.WriteBack();
  return FromVariant(Result.Get());
}

}  // namespace

ObjectRef CreateObject(std::u16string_view ProgId) {
  if (ProgId.find(u'\0') != std::u16string_view::npos) Raise(CO_E_CLASSSTRING);
  const ApartmentUse Creating;
  CLSID Class{};
  Check(::CLSIDFromProgID(ToWide(ProgId).c_str(), &Class));
  IDispatch* Dispatch = nullptr;
  Check(::CoCreateInstance(Class, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                           reinterpret_cast<void**>(&Dispatch)));
  DispatchPtr Owned(Dispatch);
  return std::make_shared<DispatchObject>(std::move(Owned));
}

}  // namespace automation
