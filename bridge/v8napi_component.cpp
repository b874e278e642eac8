// The component object and the three operation tables the host calls on it.
// Every operation finds the driver object four words after the interface
// address it is given, and nothing thrown inside ever reaches the host.
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

#include "bridge/v8napi.h"
#include "logging/Common.Log.h"
#include "logging/Common.LogMask.h"
#include "platform/Exception.h"

namespace {

constexpr std::size_t kDriverOffsetWords = 4;
constexpr uint16_t kAddErrorCode = 1006;
constexpr const V8Char* kAddErrorSource = u"Внешняя компонента";
// E_FAIL, a signed 32-bit status widened to the host's long.
constexpr HostLong kAddErrorStatus = static_cast<HostLong>(static_cast<int32_t>(0x80004005u));

TV8UserObject* DriverOf(void* Interface) noexcept {
  return *reinterpret_cast<TV8UserObject**>(static_cast<char*>(Interface) + kDriverOffsetWords * sizeof(void*));
}

template <std::size_t TableIndex>
ComponentObject* ComponentAt(void* Interface) noexcept {
  return reinterpret_cast<ComponentObject*>(static_cast<char*>(Interface) - TableIndex * sizeof(void*));
}

// Runs Body with the driver object, answering Refused when there is none or
// when anything is thrown: the host is C and must never see an exception.
template <class Result, class Body>
[[gnu::always_inline]] inline Result WithDriver(void* Interface, Result Refused, Body&& Run) noexcept {
  try {
    TV8UserObject* Driver = Interface ? DriverOf(Interface) : nullptr;
    return Driver ? Run(*Driver) : Refused;
  } catch (...) {
    return Refused;
  }
}

// Out of line: every host call passes through ClassOf, none of them fails there.
[[noreturn, gnu::noinline]] void RaiseNoClass() { throw Exception(std::u16string(u"The component has no class")); }

const TClassReg& ClassOf(const TV8UserObject& Driver) {
  if (!Driver.ClassReg) RaiseNoClass();
  return *Driver.ClassReg;
}

// The failure path of a method or property call: the host learns the message
// through AddError, the log records it, the call answers false.
bool ReportFailure(TV8UserObject& Driver) noexcept {
  const std::u16string Message = CurrentExceptionMessage();
  try {
    if (Driver.V8) {
      V8Char* Copy = V8DupWString(Driver.V8MM, Message);
      Driver.V8->Ops->AddError(Driver.V8, kAddErrorCode, kAddErrorSource, Copy ? Copy : Message.c_str(),
                               kAddErrorStatus);
      // The host copies the text during the call; the block would otherwise leak.
      V8FreeMemory(Driver.V8MM, Copy);
    }
  } catch (...) {
  }
  WriteLog(u"EXCEPTION", Message, TLogLevel::llError);
  return false;
}

int32_t ParamCountOf(const V8Variant* Params, HostLong Count) noexcept {
  if (!Params || Count <= 0) return 0;
  return Count > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                     : static_cast<int32_t>(Count);
}

// Errors pass whenever any level does: while they do not, nothing is logged.
bool Logging() noexcept { return LogLevelPasses(TLogLevel::llError); }

// The call log. Its texts are built only when the line will be written, but a
// value without a text form fails the call either way.
void CheckParamsText(const V8Variant* Params, int32_t ParamCount) {
  if (ParamCount > 0) V8CheckParamsText(Params, ParamCount);
}

void LogCallIn(const TMethReg& Method, const V8Variant* Params, int32_t ParamCount) {
  if (!LogLevelPasses(TLogLevel::llDebug)) {
    CheckParamsText(Params, ParamCount);
    return;
  }
  WriteLog(u"> " + Method.MethName, u"Params: " + V8ParamsToText(Params, ParamCount, Method.Marks), TLogLevel::llDebug);
}

void LogCallOut(const TMethReg& Method, const V8Variant* Params, int32_t ParamCount, const V8Variant* RetValue) {
  if (!LogLevelPasses(TLogLevel::llDebug)) {
    if (RetValue) V8CheckText(*RetValue);
    CheckParamsText(Params, ParamCount);
    return;
  }
  std::u16string Data;
  if (RetValue) Data = u"Result=" + V8ToText(*RetValue);
  Data += u"; Params: " + V8ParamsToText(Params, ParamCount, Method.Marks);
  WriteLog(u"< " + Method.MethName, Data, TLogLevel::llDebug);
}

// The marked values, as the host passed them and as the method wrote them
// back, are masked in every line of the call. Only such a call, made while a
// log is written, needs a scope: the others skip its cost.
void CollectLogMasks(std::optional<TLogMaskScope>& Masks, const TMethReg& Method, const V8Variant* Params,
                     int32_t ParamCount) {
  if (!Method.Marks.Any() || !Logging()) return;
  if (!Masks) Masks.emplace();
  V8AddLogMasks(*Masks, Params, ParamCount, Method.Marks);
}

// Every registered method is a function; a procedure call gives it a scratch
// return value that is released afterwards. Inlined: it is most of a call.
[[gnu::always_inline]] inline bool Execute(TV8UserObject& Driver, const TMethReg& Method, V8Variant* RetValue,
                                           V8Variant* Params, int32_t ParamCount) {
  if (!Method.IsFunction) {
    if (!Method.ExecuteProc) throw Exception(std::u16string(u"Abstract Error"));
    return Method.ExecuteProc(Driver, Params, ParamCount, Driver.V8);
  }
  if (!Method.ExecuteFunc) throw Exception(std::u16string(u"Abstract Error"));
  if (RetValue) return Method.ExecuteFunc(Driver, RetValue, Params, ParamCount, Driver.V8);
  V8Variant Scratch{};
  const bool Ok = Method.ExecuteFunc(Driver, &Scratch, Params, ParamCount, Driver.V8);
  Driver.V8ClearVar(Scratch);
  return Ok;
}

// A call while something is logged, kept apart so that the usual call carries
// none of its code. Ran: the outcome of a method that ran while nothing was
// logged and switched logging on; its call closes as a logged one.
[[gnu::noinline]] bool CallLogged(TV8UserObject& Driver, const TMethReg& Method, V8Variant* RetValue, V8Variant* Params,
                                  int32_t ParamCount, std::optional<bool> Ran) {
  // Outlives the try block: the failure line may quote the values too.
  std::optional<TLogMaskScope> Masks;
  try {
    if (!Ran) {
      CollectLogMasks(Masks, Method, Params, ParamCount);
      LogCallIn(Method, Params, ParamCount);
      Ran = Execute(Driver, Method, RetValue, Params, ParamCount);
    }
    CollectLogMasks(Masks, Method, Params, ParamCount);
    LogCallOut(Method, Params, ParamCount, RetValue);
    return *Ran;
  } catch (...) {
    return ReportFailure(Driver);
  }
}

// A call while nothing is logged: its values are only checked for a text form.
bool CallUnlogged(TV8UserObject& Driver, const TMethReg& Method, V8Variant* RetValue, V8Variant* Params,
                  int32_t ParamCount) {
  bool Ok = false;
  try {
    CheckParamsText(Params, ParamCount);
    Ok = Execute(Driver, Method, RetValue, Params, ParamCount);
  } catch (...) {
    return ReportFailure(Driver);
  }
  if (Logging()) return CallLogged(Driver, Method, RetValue, Params, ParamCount, Ok);
  try {
    if (RetValue) V8CheckText(*RetValue);
    CheckParamsText(Params, ParamCount);
    return Ok;
  } catch (...) {
    return ReportFailure(Driver);
  }
}

bool CallMethod(void* Self, HostLong Number, V8Variant* RetValue, V8Variant* Params, HostLong Count) noexcept {
  return WithDriver(Self, false, [&](TV8UserObject& Driver) {
    const TMethReg* Method = ClassOf(Driver).Method(Number);
    if (!Method) return false;
    const int32_t ParamCount = ParamCountOf(Params, Count);
    if (Logging()) return CallLogged(Driver, *Method, RetValue, Params, ParamCount, std::nullopt);
    return CallUnlogged(Driver, *Method, RetValue, Params, ParamCount);
  });
}

bool AccessProperty(void* Self, HostLong Number, V8Variant* Value, bool Get) noexcept {
  return WithDriver(Self, false, [&](TV8UserObject& Driver) {
    const TPropReg* Prop = ClassOf(Driver).Prop(Number);
    if (!Prop || !Prop->PropGetSet || !Value) return false;
    try {
      return Prop->PropGetSet(Driver, Prop->PropName, Value, Get, Driver.V8);
    } catch (...) {
      return ReportFailure(Driver);
    }
  });
}

const V8Char* HostCopyOf(TV8UserObject& Driver, const std::u16string* Name) noexcept {
  return Name ? V8DupWString(Driver.V8MM, *Name) : nullptr;
}

// A string default is handed over as a host-allocated copy: the host releases
// what it receives, and the registry's own text must survive that.
void CopyDefaultValue(TV8UserObject& Driver, const V8Variant& Default, V8Variant& Destination) {
  std::memset(static_cast<void*>(&Destination), 0, sizeof(Destination));
  switch (Default.vt) {
    case VTYPE_PWSTR:
      Driver.V8SetWString(Destination,
                          std::u16string_view(Default.vtRecWideString.pwstrVal, Default.vtRecWideString.wstrLen));
      break;
    case VTYPE_PSTR:
      Driver.V8SetString(Destination, std::string_view(Default.vtRecString.pstrVal, Default.vtRecString.strLen));
      break;
    default: std::memcpy(static_cast<void*>(&Destination), &Default, sizeof(Default));
  }
}

// ---------------------------------------------------------------------------
// InitDone
bool V8_CALL InitOp(void* Self, void* Connection) {
  return WithDriver(Self, false, [&](TV8UserObject& Driver) {
    Driver.V8 = static_cast<TV8AddInDefBaseEx*>(Connection);
    return Driver.Init();
  });
}

bool V8_CALL SetMemManagerOp(void* Self, void* MemoryManager) {
  return WithDriver(Self, false, [&](TV8UserObject& Driver) {
    Driver.V8MM = static_cast<TV8MemoryManager*>(MemoryManager);
    return Driver.SetMemManager();
  });
}

HostLong V8_CALL GetInfoOp(void* Self) {
  return WithDriver(Self, HostLong{0}, [](TV8UserObject& Driver) { return HostLong{Driver.GetInfo()}; });
}

void V8_CALL DoneOp(void* Self) {
  WithDriver(Self, false, [](TV8UserObject& Driver) {
    Driver.Done();
    return true;
  });
}

// LanguageExtender
bool V8_CALL RegisterExtensionAsOp(void* Self, V8Char** wsExtensionName) {
  return WithDriver(Self, true, [&](TV8UserObject& Driver) {
    if (wsExtensionName) *wsExtensionName = V8DupWString(Driver.V8MM, ClassOf(Driver).RegisterExtensionAs);
    return true;
  });
}

HostLong V8_CALL GetNPropsOp(void* Self) {
  return WithDriver(Self, HostLong{0}, [](TV8UserObject& Driver) { return HostLong{ClassOf(Driver).PropCount()}; });
}

HostLong V8_CALL FindPropOp(void* Self, const V8Char* Name) {
  return WithDriver(Self, HostLong{-1}, [&](TV8UserObject& Driver) {
    return Name ? HostLong{ClassOf(Driver).FindProp(Name)} : HostLong{-1};
  });
}

const V8Char* V8_CALL GetPropNameOp(void* Self, HostLong Number, HostLong Language) {
  return WithDriver(Self, static_cast<const V8Char*>(nullptr), [&](TV8UserObject& Driver) {
    return HostCopyOf(Driver, ClassOf(Driver).PropName(Number, Language));
  });
}

bool V8_CALL GetPropValOp(void* Self, HostLong Number, V8Variant* Value) {
  return AccessProperty(Self, Number, Value, true);
}

bool V8_CALL SetPropValOp(void* Self, HostLong Number, V8Variant* Value) {
  return AccessProperty(Self, Number, Value, false);
}

bool V8_CALL IsPropReadableOp(void* Self, HostLong Number) {
  return WithDriver(Self, false, [&](TV8UserObject& Driver) {
    const TPropReg* Prop = ClassOf(Driver).Prop(Number);
    return Prop && Prop->IsReadable;
  });
}

bool V8_CALL IsPropWritableOp(void* Self, HostLong Number) {
  return WithDriver(Self, false, [&](TV8UserObject& Driver) {
    const TPropReg* Prop = ClassOf(Driver).Prop(Number);
    return Prop && Prop->IsWritable;
  });
}

HostLong V8_CALL GetNMethodsOp(void* Self) {
  return WithDriver(Self, HostLong{0}, [](TV8UserObject& Driver) { return HostLong{ClassOf(Driver).MethCount()}; });
}

HostLong V8_CALL FindMethodOp(void* Self, const V8Char* Name) {
  return WithDriver(Self, HostLong{-1}, [&](TV8UserObject& Driver) {
    return Name ? HostLong{ClassOf(Driver).FindMethod(Name)} : HostLong{-1};
  });
}

const V8Char* V8_CALL GetMethodNameOp(void* Self, HostLong Number, HostLong Language) {
  return WithDriver(Self, static_cast<const V8Char*>(nullptr), [&](TV8UserObject& Driver) {
    return HostCopyOf(Driver, ClassOf(Driver).MethodName(Number, Language));
  });
}

HostLong V8_CALL GetNParamsOp(void* Self, HostLong Number) {
  return WithDriver(Self, HostLong{0}, [&](TV8UserObject& Driver) {
    const TMethReg* Method = ClassOf(Driver).Method(Number);
    return Method ? HostLong{Method->ParamCount} : HostLong{0};
  });
}

bool V8_CALL GetParamDefValueOp(void* Self, HostLong MethodNumber, HostLong ParamNumber, V8Variant* Value) {
  return WithDriver(Self, false, [&](TV8UserObject& Driver) {
    const TMethReg* Method = ClassOf(Driver).Method(MethodNumber);
    if (!Method || !Value || ParamNumber < 0 || ParamNumber > std::numeric_limits<int32_t>::max()) return false;
    const auto* Default = Method->DefParams.Find(static_cast<int32_t>(ParamNumber));
    if (!Default) return false;
    CopyDefaultValue(Driver, Default->Value, *Value);
    return true;
  });
}

bool V8_CALL HasRetValOp(void* Self, HostLong Number) {
  return WithDriver(Self, false, [&](TV8UserObject& Driver) {
    const TMethReg* Method = ClassOf(Driver).Method(Number);
    return Method && Method->IsFunction;
  });
}

bool V8_CALL CallAsProcOp(void* Self, HostLong Number, V8Variant* Params, HostLong Count) {
  return CallMethod(Self, Number, nullptr, Params, Count);
}

bool V8_CALL CallAsFuncOp(void* Self, HostLong Number, V8Variant* RetValue, V8Variant* Params, HostLong Count) {
  return CallMethod(Self, Number, RetValue, Params, Count);
}

// Locale
void V8_CALL SetLocaleOp(void* Self, const V8Char* Locale) {
  WithDriver(Self, false, [&](TV8UserObject& Driver) {
    Driver.locale = Locale ? Locale : u"";
    Driver.SetLocale();
    return true;
  });
}

// ---------------------------------------------------------------------------
// Destructor slots: the platform releases a component through DestroyObject,
// but other hosts delete it through its virtual destructor.
void DestroyDriverOnce(ComponentObject& Component) noexcept {
  TV8UserObject* Driver = Component.Driver[0];
  for (TV8UserObject*& Slot : Component.Driver) Slot = nullptr;
  delete Driver;
}

#if V8_MSVC_ABI
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
template <std::size_t TableIndex>
void* V8_DTOR_CALL DeletingDestructor(void* Self, uint32_t Flags) {
  ComponentObject* Component = ComponentAt<TableIndex>(Self);
  if (Flags & 1u) {
    DestroyComponentObject(Component);
  } else {
    DestroyDriverOnce(*Component);
  }
  return Self;
}
#pragma GCC diagnostic pop

template <std::size_t TableIndex>
constexpr V8DestructorSlots DestructorSlots() {
  return {&DeletingDestructor<TableIndex>};
}

template <class Ops>
constexpr V8VTable<Ops> MakeVTable(std::size_t, const Ops& Slots) {
  return V8VTable<Ops>{Slots};
}
#else
template <std::size_t TableIndex>
void CompleteDestructor(void* Self) {
  DestroyDriverOnce(*ComponentAt<TableIndex>(Self));
}

template <std::size_t TableIndex>
void DeletingDestructor(void* Self) {
  DestroyComponentObject(ComponentAt<TableIndex>(Self));
}

template <std::size_t TableIndex>
constexpr V8DestructorSlots DestructorSlots() {
  return {&CompleteDestructor<TableIndex>, &DeletingDestructor<TableIndex>};
}

// A host's dynamic_cast<void*> reads the offset-to-top word before the slots.
template <class Ops>
constexpr V8VTable<Ops> MakeVTable(std::size_t TableIndex, const Ops& Slots) {
  return V8VTable<Ops>{-static_cast<std::ptrdiff_t>(TableIndex * sizeof(void*)), nullptr, Slots};
}
#endif

constexpr V8VTable<TInitDoneOps> InitDoneTable =
    MakeVTable(0, TInitDoneOps{DestructorSlots<0>(), &InitOp, &SetMemManagerOp, &GetInfoOp, &DoneOp});

constexpr V8VTable<TLanguageExtenderOps> LanguageExtenderTable =
    MakeVTable(1, TLanguageExtenderOps{DestructorSlots<1>(), &RegisterExtensionAsOp, &GetNPropsOp, &FindPropOp,
                                       &GetPropNameOp, &GetPropValOp, &SetPropValOp, &IsPropReadableOp,
                                       &IsPropWritableOp, &GetNMethodsOp, &FindMethodOp, &GetMethodNameOp,
                                       &GetNParamsOp, &GetParamDefValueOp, &HasRetValOp, &CallAsProcOp, &CallAsFuncOp});

constexpr V8VTable<TLocaleOps> LocaleTable = MakeVTable(2, TLocaleOps{DestructorSlots<2>(), &SetLocaleOp});

}  // namespace

ComponentObject* CreateComponentObject(const TClassReg& Class) noexcept {
  std::unique_ptr<TV8UserObject> Driver;
  try {
    if (Class.UserClass) Driver = Class.UserClass();
  } catch (...) {
    return nullptr;
  }
  if (!Driver) return nullptr;
  auto* Component = static_cast<ComponentObject*>(std::calloc(1, sizeof(ComponentObject)));
  if (!Component) return nullptr;
  Component->InitDoneTable = V8VTablePointer(InitDoneTable);
  Component->LanguageExtenderTable = V8VTablePointer(LanguageExtenderTable);
  Component->LocaleTable = V8VTablePointer(LocaleTable);
  Driver->ClassReg = &Class;
  TV8UserObject* Object = Driver.release();
  for (TV8UserObject*& Slot : Component->Driver) Slot = Object;
  return Component;
}

void DestroyComponentObject(ComponentObject* Component) noexcept {
  if (!Component) return;
  DestroyDriverOnce(*Component);
  std::free(Component);
}
