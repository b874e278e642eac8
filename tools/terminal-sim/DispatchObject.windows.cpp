#include "tools/terminal-sim/DispatchObject.windows.h"

#include <mutex>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "platform/Text.h"
#include "tools/terminal-sim/SimValue.h"

namespace terminal_sim {

std::atomic<long> GLiveComObjects{0};

namespace {

// Asked for by our own Invoke only: the simulator object behind a VT_DISPATCH.
constexpr IID kSimObjectIid = {0x6c1b2f0a, 0x3e47, 0x4b8e, {0x9a, 0x51, 0x2d, 0x7c, 0x04, 0xe1, 0xa1, 0xff}};

// DISPIDs shared by every object: a name keeps its number for the process.
class NameTable {
public:
  DISPID IdOf(std::u16string_view Name) {
    std::lock_guard Guard(FLock);
    for (size_t I = 0; I < FNames.size(); ++I)
      if (SameName(FNames[I], Name)) return static_cast<DISPID>(I + 1);
    FNames.emplace_back(Name);
    return static_cast<DISPID>(FNames.size());
  }
  bool NameOf(DISPID Id, std::u16string& Name) {
    std::lock_guard Guard(FLock);
    if (Id < 1 || static_cast<size_t>(Id) > FNames.size()) return false;
    Name = FNames[static_cast<size_t>(Id) - 1];
    return true;
  }

private:
  std::mutex FLock;
  std::vector<std::u16string> FNames;
};

NameTable& Names() {
  static NameTable Table;
  return Table;
}

[[noreturn]] void RaiseTypeMismatch() { throw Exception(std::string_view("Type mismatch")); }

std::u16string FromBstr(BSTR Text) { return Text ? FromWide(std::wstring_view(Text, SysStringLen(Text))) : u""; }

Value FromDispatch(IDispatch* Dispatch) {
  if (!Dispatch) return {};
  DispatchObject* Ours = nullptr;
  if (FAILED(Dispatch->QueryInterface(kSimObjectIid, reinterpret_cast<void**>(&Ours))) || !Ours) RaiseTypeMismatch();
  automation::ObjectRef Inner = Ours->Inner();
  Ours->Release();
  return Inner;
}

const VARIANT& Dereferenced(const VARIANT& V) {
  return (V.vt == (VT_BYREF | VT_VARIANT) && V.pvarVal) ? *V.pvarVal : V;
}

Value FromVariant(const VARIANT& Source) {
  const VARIANT& V = Dereferenced(Source);
  bool ByRef = (V.vt & VT_BYREF) != 0;
  switch (V.vt & ~VT_BYREF) {
    case VT_EMPTY:
    case VT_NULL: return {};
    case VT_I2: return static_cast<int32_t>(ByRef ? *V.piVal : V.iVal);
    case VT_I4: return static_cast<int32_t>(ByRef ? *V.plVal : V.lVal);
    case VT_I8: return static_cast<int64_t>(ByRef ? *V.pllVal : V.llVal);
    case VT_BOOL: return (ByRef ? *V.pboolVal : V.boolVal) != VARIANT_FALSE;
    case VT_BSTR: return FromBstr(ByRef ? *V.pbstrVal : V.bstrVal);
    case VT_DISPATCH: return FromDispatch(ByRef ? *V.ppdispVal : V.pdispVal);
    default: RaiseTypeMismatch();
  }
}

void ToVariant(const Value& From, VARIANT& To) {
  VariantInit(&To);
  if (auto* I = std::get_if<int32_t>(&From)) {
    To.vt = VT_I4;
    To.lVal = *I;
  } else if (auto* L = std::get_if<int64_t>(&From)) {
    // The simulator keeps 32-bit numbers as int32_t: a 64-bit one is meant so.
    To.vt = VT_I8;
    To.llVal = *L;
  } else if (auto* B = std::get_if<bool>(&From)) {
    To.vt = VT_BOOL;
    To.boolVal = *B ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (auto* T = std::get_if<std::u16string>(&From)) {
    std::wstring Wide = ToWide(*T);
    To.vt = VT_BSTR;
    To.bstrVal = SysAllocStringLen(Wide.data(), static_cast<UINT>(Wide.size()));
  } else if (auto* O = std::get_if<automation::ObjectRef>(&From)) {
    if (auto Sim = std::dynamic_pointer_cast<SimObject>(*O)) {
      To.vt = VT_DISPATCH;
      To.pdispVal = new DispatchObject(std::move(Sim));
    }
  }
}

// The arguments in call order (DISPPARAMS holds them last first). Every
// VT_BYREF argument reaches the simulator's object as by reference, whatever
// it points at, just as the provider library hands it over on Linux (where the
// strict checks of TxLink.cpp see it); a VT_BYREF|VT_VARIANT one is written
// back after the call when the object changed it. A typed one (VT_BYREF|VT_I4
// and the like) is never changed by the simulator, so it is only read.
class Arguments {
public:
  explicit Arguments(DISPPARAMS& Params) : FParams(Params) {
    FValues.reserve(Params.cArgs);
    for (UINT I = Params.cArgs; I > 0; --I) FValues.push_back(FromVariant(Params.rgvarg[I - 1]));
    FOriginal = FValues;
    for (size_t I = 0; I < FValues.size(); ++I)
      FArgs.push_back(IsByRef(I) ? automation::Argument::ByRef(FValues[I]) : automation::Argument::ByValue(FValues[I]));
  }
  std::span<automation::Argument> Span() { return FArgs; }
  void WriteBack() {
    for (size_t I = 0; I < FValues.size(); ++I) {
      if (!IsByRefVariant(I) || FValues[I] == FOriginal[I]) continue;
      VARIANT* Target = VariantAt(I).pvarVal;
      VariantClear(Target);
      ToVariant(FValues[I], *Target);
    }
  }

private:
  VARIANT& VariantAt(size_t I) { return FParams.rgvarg[FParams.cArgs - 1 - I]; }
  bool IsByRef(size_t I) { return (VariantAt(I).vt & VT_BYREF) != 0; }
  bool IsByRefVariant(size_t I) { return VariantAt(I).vt == (VT_BYREF | VT_VARIANT) && VariantAt(I).pvarVal; }

  DISPPARAMS& FParams;
  std::vector<Value> FValues, FOriginal;
  std::vector<automation::Argument> FArgs;
};

void FillError(EXCEPINFO* Error, const std::u16string& Message) {
  if (!Error) return;
  *Error = EXCEPINFO{};
  std::wstring Source = ToWide(u"Tandemix");
  std::wstring Text = ToWide(Message);
  Error->bstrSource = SysAllocStringLen(Source.data(), static_cast<UINT>(Source.size()));
  Error->bstrDescription = SysAllocStringLen(Text.data(), static_cast<UINT>(Text.size()));
  Error->scode = E_FAIL;
}

}  // namespace

DispatchObject::DispatchObject(std::shared_ptr<SimObject> Inner) : FInner(std::move(Inner)) { ++GLiveComObjects; }

DispatchObject::~DispatchObject() { --GLiveComObjects; }

HRESULT STDMETHODCALLTYPE DispatchObject::QueryInterface(REFIID Iid, void** Out) {
  if (!Out) return E_POINTER;
  if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IDispatch) || IsEqualIID(Iid, kSimObjectIid)) {
    *Out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *Out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DispatchObject::AddRef() { return ++FRefs; }

ULONG STDMETHODCALLTYPE DispatchObject::Release() {
  ULONG Left = --FRefs;
  if (Left == 0) delete this;
  return Left;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfoCount(UINT* Count) {
  if (!Count) return E_POINTER;
  *Count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** Info) {
  if (Info) *Info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* NameList, UINT Count, LCID, DISPID* Ids) {
  if (!NameList || !Ids || Count == 0) return E_INVALIDARG;
  for (UINT I = 0; I < Count; ++I) Ids[I] = DISPID_UNKNOWN;
  try {
    std::u16string Name = NameList[0] ? FromWide(NameList[0]) : u"";
    if (FInner->Member(Name) == MemberKind::None) return DISP_E_UNKNOWNNAME;
    Ids[0] = Names().IdOf(Name);
    return Count == 1 ? S_OK : DISP_E_UNKNOWNNAME;  // no named parameters
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

Value DispatchObject::Dispatch(std::u16string_view Name, WORD Flags, DISPPARAMS& Params) {
  if (Flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    if (Params.cArgs != 1) throw Exception(std::string_view("Invalid number of parameters"));
    FInner->Put(Name, FromVariant(Params.rgvarg[0]));
    return {};
  }
  if (FInner->Member(Name) == MemberKind::Property) {
    if (Params.cArgs != 0) throw Exception(std::string_view("Invalid number of parameters"));
    return FInner->Get(Name);
  }
  Arguments Args(Params);
  Value Result = FInner->Call(Name, Args.Span());
  Args.WriteBack();
  return Result;
}

HRESULT STDMETHODCALLTYPE DispatchObject::Invoke(DISPID Id, REFIID, LCID, WORD Flags, DISPPARAMS* Params,
                                                 VARIANT* Result, EXCEPINFO* Error, UINT*) {
  std::u16string Name;
  if (!Names().NameOf(Id, Name)) return DISP_E_MEMBERNOTFOUND;
  DISPPARAMS None{nullptr, nullptr, 0, 0};
  try {
    Value Answer = Dispatch(Name, Flags, Params ? *Params : None);
    if (Result) ToVariant(Answer, *Result);
    return S_OK;
  } catch (...) {
    FillError(Error, CurrentExceptionMessage());
    return DISP_E_EXCEPTION;
  }
}

}  // namespace terminal_sim
