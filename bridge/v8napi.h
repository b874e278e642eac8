#pragma once
// The host bridge: class registry, driver object base, component object and the
// host's value records.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/V8Abi.h"

class TLogMaskScope;
class TV8UserObject;
struct TClassReg;

// ---------------------------------------------------------------------------
// Shapes of the code the registry points at. The invoking object comes first;
// v8 is a reference to the driver object's V8 field.
using TV8CallAsFunc = bool (*)(TV8UserObject& Self, V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                               TV8AddInDefBaseEx*& v8);
using TV8CallAsProc = bool (*)(TV8UserObject& Self, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
using TV8PropertyGetSet = bool (*)(TV8UserObject& Self, const std::u16string& PropName, V8Variant* propValue, bool Get,
                                   TV8AddInDefBaseEx*& v8);
// The class reference: its virtual constructor creates the driver object.
using TV8UserClass = std::unique_ptr<TV8UserObject> (*)();

// ---------------------------------------------------------------------------
// Registry records.
class TDefParamList {
public:
  struct TDefParamValue {
    int32_t Num;
    V8Variant Value;
  };

  // Parameter numbers count from 1 here; the stored Num is zero-based.
  V8Variant* AddParam(int32_t Num);
  void AddInt(int32_t V, int32_t ParamNum);
  void AddDouble(double V, int32_t ParamNum);
  void AddBool(bool V, int32_t ParamNum);
  void AddDate(double V, int32_t ParamNum);
  void AddWString(std::u16string_view V, int32_t ParamNum);
  void AddAString(std::string_view V, int32_t ParamNum);

  int32_t ValueCount() const noexcept { return static_cast<int32_t>(Values.size()); }
  const TDefParamValue* Find(int32_t Num) const noexcept;
  V8Variant* TempParam = nullptr;

private:
  // A default with the text its string value points at. Held by pointer so
  // that values and texts never move; nearly every method has no default, and
  // an empty vector costs no allocation.
  struct TStoredValue {
    TDefParamValue Param{};
    std::u16string WideText;
    std::string NarrowText;
  };
  TStoredValue& AddStored(int32_t Num);
  std::vector<std::unique_ptr<TStoredValue>> Values;
};

// The parameters of a method whose values the log must never show: a card
// number is written masked, a secret (password, key) as a fixed mask. Bit N
// stands for parameter N, counted from 0.
struct TParamMarks {
  uint64_t CardNumbers = 0;
  uint64_t Secrets = 0;

  constexpr bool Any() const noexcept { return (CardNumbers | Secrets) != 0; }
  constexpr bool IsCardNumber(int32_t Index) const noexcept { return Has(CardNumbers, Index); }
  constexpr bool IsSecret(int32_t Index) const noexcept { return Has(Secrets, Index); }

private:
  static constexpr bool Has(uint64_t Bits, int32_t Index) noexcept {
    return Index >= 0 && Index < 64 && ((Bits >> Index) & 1u) != 0;
  }
};

struct TMethReg {
  std::u16string MethName;
  std::u16string MethNameLoc;
  bool IsFunction = false;
  int32_t ParamCount = 0;
  TParamMarks Marks;
  TDefParamList DefParams;
  TV8CallAsFunc ExecuteFunc = nullptr;  // set when IsFunction
  TV8CallAsProc ExecuteProc = nullptr;  // set otherwise
};

struct TPropReg {
  std::u16string PropName;
  std::u16string PropNameLoc;
  bool IsReadable = false;
  bool IsWritable = false;
  TV8PropertyGetSet PropGetSet = nullptr;
};

struct TClassReg {
  TV8UserClass UserClass = nullptr;
  std::u16string RegisterExtensionAs;
  std::u16string NatApiClassName;
  std::vector<std::unique_ptr<TPropReg>> PropList;
  std::vector<std::unique_ptr<TMethReg>> MethList;

  int32_t PropCount() const noexcept { return static_cast<int32_t>(PropList.size()); }
  int32_t MethCount() const noexcept { return static_cast<int32_t>(MethList.size()); }

  TMethReg& AddMethod(std::u16string_view MethName, std::u16string_view MethNameLoc, bool IsFunction,
                      TV8CallAsFunc Func, TV8CallAsProc Proc, int32_t ParamCount);
  TMethReg& AddFunc(std::u16string_view MethName, std::u16string_view MethNameLoc, TV8CallAsFunc ExecuteProc,
                    int32_t ParamCount);
  TMethReg& AddProc(std::u16string_view MethName, std::u16string_view MethNameLoc, TV8CallAsProc ExecuteProc,
                    int32_t ParamCount);
  TPropReg& AddProp(std::u16string_view PropName, std::u16string_view PropNameLoc, bool IsReadable, bool IsWritable,
                    TV8PropertyGetSet PropGetSet);

  // Scan from number 0 upward, the localized name first at each entry; -1 when
  // nothing matches. Exact, case-sensitive comparison.
  int32_t FindMethod(std::u16string_view Name) const noexcept;
  int32_t FindProp(std::u16string_view Name) const noexcept;
  // Language 0: the English name; any other value: the localized one. Null when
  // the number is out of range.
  const std::u16string* MethodName(int64_t Number, int64_t Language) const noexcept;
  const std::u16string* PropName(int64_t Number, int64_t Language) const noexcept;
  const TMethReg* Method(int64_t Number) const noexcept;
  const TPropReg* Prop(int64_t Number) const noexcept;
};

class TClassRegList {
public:
  TClassReg& RegisterClass(TV8UserClass UserClass, std::u16string_view RegisterExtensionAs,
                           std::u16string_view NatApiClassName);
  int32_t ClassCount() const noexcept { return static_cast<int32_t>(ClassList.size()); }
  const TClassReg* FindClass(std::u16string_view NatApiClassName) const noexcept;
  // "|"-separated names in registration order; NUL-terminated storage.
  const std::u16string& ClassNames() const noexcept { return FClassNames; }

private:
  std::vector<std::unique_ptr<TClassReg>> ClassList;
  std::u16string FClassNames;
};

// The process-wide registry, created on first use during start-up.
TClassRegList& ClassRegistry();

// ---------------------------------------------------------------------------
// Value writers over a host memory manager. Without a memory manager, or when
// the host refuses the allocation, the string and blob writers answer false;
// the text writer then leaves the empty text, as V8SetEmptyWString writes it.
void V8ClearVar(TV8MemoryManager* MM, V8Variant& V) noexcept;
void V8SetBool(TV8MemoryManager* MM, V8Variant& V, bool Value) noexcept;
void V8SetInt(TV8MemoryManager* MM, V8Variant& V, int32_t Value) noexcept;
void V8SetInt64(TV8MemoryManager* MM, V8Variant& V, int64_t Value) noexcept;
void V8SetDouble(TV8MemoryManager* MM, V8Variant& V, double Value) noexcept;
void V8SetDate(TV8MemoryManager* MM, V8Variant& V, double Value) noexcept;
bool V8SetWString(TV8MemoryManager* MM, V8Variant& V, std::u16string_view Value) noexcept;
// The empty text without a block: the one text a host out of memory can still get.
void V8SetEmptyWString(TV8MemoryManager* MM, V8Variant& V) noexcept;
bool V8SetPChar(TV8MemoryManager* MM, V8Variant& V, const char* Value) noexcept;
bool V8SetString(TV8MemoryManager* MM, V8Variant& V, std::string_view Value) noexcept;
bool V8SetBlob(TV8MemoryManager* MM, V8Variant& V, const void* Value, uint32_t Length) noexcept;
// A host-allocated, NUL-terminated copy; null without a memory manager or when refused.
V8Char* V8DupWString(TV8MemoryManager* MM, std::u16string_view Value) noexcept;
void V8FreeMemory(TV8MemoryManager* MM, void* Block) noexcept;

// Readers.
bool V8AsBool(const V8Variant& V);
int32_t V8AsInt(const V8Variant& V);
int32_t V8AsLong(const V8Variant& V);
double V8AsDouble(const V8Variant& V);
double V8AsDate(const V8Variant& V);
std::u16string V8AsWString(const V8Variant& V);
bool V8IsString(const V8Variant& V) noexcept;
double V8TmToDateTime(const TV8tm& tm);
std::u16string V8TypeName(const V8Variant& V);
// The call-log text; raises "Unsupported data type - %s" for a value without one.
std::u16string V8ToText(const V8Variant& V);
// Raises exactly where V8ToText would, without building the text.
void V8CheckText(const V8Variant& V);
// "[" texts joined by "; " "]", a whole vt of 23 written "BLOB"; a marked card
// number masked, a marked secret as the secret mask whatever its value.
std::u16string V8ParamsToText(const V8Variant* Params, int32_t ParamCount, const TParamMarks& Marks = {});
void V8CheckParamsText(const V8Variant* Params, int32_t ParamCount);
// Gives the call's scope the texts of its marked parameters, to be masked in
// every line the call logs.
void V8AddLogMasks(TLogMaskScope& Masks, const V8Variant* Params, int32_t ParamCount, const TParamMarks& Marks);

// ---------------------------------------------------------------------------
// Base class of every driver object.
class TV8UserObject {
public:
  TV8UserObject() = default;
  TV8UserObject(const TV8UserObject&) = delete;
  TV8UserObject& operator=(const TV8UserObject&) = delete;
  virtual ~TV8UserObject() = default;

  virtual bool Init() { return true; }
  virtual int32_t GetInfo() { return 2000; }
  virtual void SetLocale() {}
  virtual void Done() {}
  virtual bool SetMemManager() { return true; }

  const TClassReg* ClassReg = nullptr;
  TV8MemoryManager* V8MM = nullptr;
  TV8AddInDefBaseEx* V8 = nullptr;
  std::u16string locale;

  void V8ClearVar(V8Variant& V) noexcept { ::V8ClearVar(V8MM, V); }
  void V8SetBool(V8Variant& V, bool Value) noexcept { ::V8SetBool(V8MM, V, Value); }
  void V8SetDate(V8Variant& V, double Value) noexcept { ::V8SetDate(V8MM, V, Value); }
  void V8SetInt(V8Variant& V, int32_t Value) noexcept { ::V8SetInt(V8MM, V, Value); }
  void V8SetInt64(V8Variant& V, int64_t Value) noexcept { ::V8SetInt64(V8MM, V, Value); }
  void V8SetDouble(V8Variant& V, double Value) noexcept { ::V8SetDouble(V8MM, V, Value); }
  bool V8SetWString(V8Variant& V, std::u16string_view Value) noexcept { return ::V8SetWString(V8MM, V, Value); }
  void V8SetEmptyWString(V8Variant& V) noexcept { ::V8SetEmptyWString(V8MM, V); }
  bool V8SetString(V8Variant& V, std::string_view Value) noexcept { return ::V8SetString(V8MM, V, Value); }
  bool V8SetPChar(V8Variant& V, const char* Value) noexcept { return ::V8SetPChar(V8MM, V, Value); }
  bool V8SetBlob(V8Variant& V, const void* Value, uint32_t Length) noexcept {
    return ::V8SetBlob(V8MM, V, Value, Length);
  }
};

// ---------------------------------------------------------------------------
// The component object handed to the host: three table pointers, a zero word,
// and the driver object three times so that every table finds it four words
// after the address the host gives.
struct ComponentObject {
  const void* InitDoneTable;
  const void* LanguageExtenderTable;
  const void* LocaleTable;
  void* Reserved;
  TV8UserObject* Driver[3];
};
static_assert(sizeof(ComponentObject) == 7 * sizeof(void*));

// Creates a component object around a new driver object of the class; null when
// the class is unknown or its constructor fails.
ComponentObject* CreateComponentObject(const TClassReg& Class) noexcept;
// Destroys the driver object (once) and frees the component object.
void DestroyComponentObject(ComponentObject* Component) noexcept;

#if defined(_WIN32)
#define V8_EXPORT  // listed in v8napi.def, so the x86 names stay undecorated
#else
#define V8_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
V8_EXPORT const V8Char* GetClassNames();
V8_EXPORT HostLong GetClassObject(const V8Char* wsName, void** pInterface);
V8_EXPORT HostLong DestroyObject(void** pInterface);
V8_EXPORT int32_t GetAttachType();
}
