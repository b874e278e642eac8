#pragma once
// The host's binary interface, declared from its documented facts so that it is
// exact on every target: Linux x86_64 (host built with g++, Itanium C++ ABI),
// Windows x64 and Windows x86 (host built with MSVC). Nothing here relies on the
// compiler's own vtable layout: the tables are explicit arrays of pointers.
#include <cstddef>
#include <cstdint>
#include <ctime>

#if defined(_WIN32)
#define V8_MSVC_ABI 1
#else
#define V8_MSVC_ABI 0
#endif

#if defined(_WIN32) && !defined(_WIN64)
// Windows x86: every table operation is __stdcall with the object pointer as the
// first stack argument; the MSVC destructor slot is __thiscall.
#define V8_CALL __attribute__((__stdcall__))
#define V8_DTOR_CALL __attribute__((__thiscall__))
#else
#define V8_CALL
#define V8_DTOR_CALL
#endif

// The host declares counts, numbers, GetInfo, the AddError status code and the
// allocation size as C long: 64 bits on Linux x86_64, 32 bits on Linux x86 and
// on Windows.
using HostLong = long;
using HostULong = unsigned long;
#if V8_MSVC_ABI
static_assert(sizeof(HostLong) == 4, "the Windows host's long is 32 bits");
#else
static_assert(sizeof(HostLong) == sizeof(void*), "the Linux host's long is as wide as a pointer");
#endif

// Host strings are 16-bit code units on every platform.
using V8Char = char16_t;

// Type codes (bits 0-11 of vt) and flag bits.
enum V8TypeCode : uint16_t {
  VTYPE_EMPTY = 0,
  VTYPE_NULL = 1,
  VTYPE_I2 = 2,
  VTYPE_I4 = 3,
  VTYPE_R4 = 4,
  VTYPE_R8 = 5,
  VTYPE_DATE = 6,
  VTYPE_TM = 7,
  VTYPE_PSTR = 8,
  VTYPE_INTERFACE = 9,
  VTYPE_ERROR = 10,
  VTYPE_BOOL = 11,
  VTYPE_VARIANT = 12,
  VTYPE_I1 = 13,
  VTYPE_UI1 = 14,
  VTYPE_UI2 = 15,
  VTYPE_UI4 = 16,
  VTYPE_I8 = 17,
  VTYPE_UI8 = 18,
  VTYPE_INT = 19,
  VTYPE_UINT = 20,
  VTYPE_HRESULT = 21,
  VTYPE_PWSTR = 22,
  VTYPE_BLOB = 23,
  VTYPE_CLSID = 24,
  VTYPE_STR_BLOB = 0xFFF,
};
inline constexpr uint16_t VTYPE_BASE_MASK = 0x0FFF;
inline constexpr uint16_t VTYPE_VECTOR = 0x1000;
inline constexpr uint16_t VTYPE_ARRAY = 0x2000;
inline constexpr uint16_t VTYPE_BYREF = 0x4000;

struct V8Guid {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};

// The C library's broken-down time, as the host embeds it (56 bytes on Linux
// x86_64 with tm_gmtoff and tm_zone, 44 on Linux x86, 36 bytes on Windows).
using TV8tm = std::tm;

struct V8InterfaceRec {
  void* pInterfaceVal;
  V8Guid InterfaceID;
};
struct V8StringRec {
  char* pstrVal;
  uint32_t strLen;
};
struct V8WideStringRec {
  V8Char* pwstrVal;
  uint32_t wstrLen;
};

// The host's value record.
struct V8Variant {
  union {
    int8_t i8Val;
    int16_t shortVal;
    int32_t lVal;
    int32_t intVal;
    uint32_t uintVal;
    int64_t llVal;
    uint8_t ui8Val;
    uint16_t ushortVal;
    uint32_t ulVal;
    uint64_t ullVal;
    int32_t errCode;
    int32_t hRes;
    float fltVal;
    double dblVal;
    bool bVal;
    char chVal;
    char16_t wchVal;
    double date;
    V8Guid IDVal;
    V8Variant* pvarVal;
    TV8tm tmVal;
    V8InterfaceRec vtRecInterface;
    V8StringRec vtRecString;
    V8WideStringRec vtRecWideString;
  };
  uint32_t cbElements;
  // The host's type code is 16 bits; the two bytes after it are padding the host
  // may leave uninitialised, so they are never read.
  uint16_t vt;
  uint16_t vtPadding;
};

#if V8_MSVC_ABI
static_assert(sizeof(V8Variant) == 48);
static_assert(offsetof(V8Variant, cbElements) == 40);
static_assert(offsetof(V8Variant, vt) == 44);
#elif defined(__x86_64__) && defined(__linux__)
static_assert(sizeof(std::tm) == 56);
static_assert(sizeof(V8Variant) == 64);
static_assert(offsetof(V8Variant, cbElements) == 56);
static_assert(offsetof(V8Variant, vt) == 60);
#elif defined(__i386__) && defined(__linux__)
// i386 aligns 64-bit members to 4 bytes inside a record, so nothing pads the
// 44-byte tm.
static_assert(sizeof(std::tm) == 44);
static_assert(sizeof(V8Variant) == 52);
static_assert(offsetof(V8Variant, cbElements) == 44);
static_assert(offsetof(V8Variant, vt) == 48);
static_assert(alignof(V8Variant) == 4);
#else
#error "the host's value record is not declared for this target"
#endif
static_assert(offsetof(V8Variant, vtRecWideString.wstrLen) == sizeof(void*));
static_assert(offsetof(V8Variant, vtRecString.strLen) == sizeof(void*));
static_assert(offsetof(V8Variant, vtRecInterface.InterfaceID) == sizeof(void*));

// ---------------------------------------------------------------------------
// Destructor slots. The host's own objects and our component tables begin with
// the compiler's destructor entries: one under the MSVC ABI (the deleting
// destructor taking a flags word), two under the Itanium ABI (complete, deleting).
#if V8_MSVC_ABI
inline constexpr std::size_t kV8DestructorSlots = 1;
#else
inline constexpr std::size_t kV8DestructorSlots = 2;
#endif

// Under the Itanium ABI a vtable pointer points past two header words: the
// offset to the top of the whole object and the type information.
template <class Ops>
struct V8VTable {
#if !V8_MSVC_ABI
  std::ptrdiff_t OffsetToTop;
  const void* TypeInfo;
#endif
  Ops Slots;
};
template <class Ops>
const Ops* V8VTablePointer(const V8VTable<Ops>& Table) noexcept {
  return &Table.Slots;
}

// ---------------------------------------------------------------------------
// Host objects the library calls: the memory manager and the connection object.
struct TV8MemoryManager;
struct TV8MemoryManagerOps {
  void* Destroy[kV8DestructorSlots];
  bool(V8_CALL* AllocMemory)(TV8MemoryManager* Self, void** pMemory, HostULong ulCountByte);
  void(V8_CALL* FreeMemory)(TV8MemoryManager* Self, void** pMemory);
};
struct TV8MemoryManager {
  const TV8MemoryManagerOps* Ops;
};

struct TV8AddInDefBaseEx;
struct TV8AddInDefBaseOps {
  void* Destroy[kV8DestructorSlots];
  bool(V8_CALL* AddError)(TV8AddInDefBaseEx* Self, uint16_t wcode, const V8Char* source, const V8Char* descr,
                          HostLong scode);
  bool(V8_CALL* Read)(TV8AddInDefBaseEx* Self, V8Char* wszPropName, V8Variant* pVal, HostLong* pErrCode,
                      V8Char** errDescriptor);
  bool(V8_CALL* Write)(TV8AddInDefBaseEx* Self, V8Char* wszPropName, V8Variant* pVar);
  bool(V8_CALL* RegisterProfileAs)(TV8AddInDefBaseEx* Self, V8Char* wszProfileName);
  bool(V8_CALL* SetEventBufferDepth)(TV8AddInDefBaseEx* Self, HostLong lDepth);
  HostLong(V8_CALL* GetEventBufferDepth)(TV8AddInDefBaseEx* Self);
  bool(V8_CALL* ExternalEvent)(TV8AddInDefBaseEx* Self, V8Char* wszSource, V8Char* wszMessage, V8Char* wszData);
  void(V8_CALL* CleanEventBuffer)(TV8AddInDefBaseEx* Self);
  bool(V8_CALL* SetStatusLine)(TV8AddInDefBaseEx* Self, V8Char* wszStatusLine);
  void(V8_CALL* ResetStatusLine)(TV8AddInDefBaseEx* Self);
  // TV8AddInDefBaseEx's one addition.
  void*(V8_CALL* GetInterface)(TV8AddInDefBaseEx* Self, int32_t iface);
};
struct TV8AddInDefBaseEx {
  const TV8AddInDefBaseOps* Ops;
};

// ---------------------------------------------------------------------------
// The component's three operation tables, called by the host with the address
// of word 0, 1 or 2 of the component object.
#if V8_MSVC_ABI
// GCC applies __thiscall to plain functions as asked (this in ECX, callee pops
// the flags), but warns that it is meant for members.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
struct V8DestructorSlots {
  void*(V8_DTOR_CALL* DeletingDestructor)(void* Self, uint32_t Flags);
};
#pragma GCC diagnostic pop
#else
struct V8DestructorSlots {
  void (*CompleteDestructor)(void* Self);
  void (*DeletingDestructor)(void* Self);
};
#endif

struct TInitDoneOps {
  V8DestructorSlots Destructor;
  bool(V8_CALL* Init)(void* Self, void* Connection);
  bool(V8_CALL* setMemManager)(void* Self, void* MemoryManager);
  HostLong(V8_CALL* GetInfo)(void* Self);
  void(V8_CALL* Done)(void* Self);
};

struct TLanguageExtenderOps {
  V8DestructorSlots Destructor;
  bool(V8_CALL* RegisterExtensionAs)(void* Self, V8Char** wsExtensionName);
  HostLong(V8_CALL* GetNProps)(void* Self);
  HostLong(V8_CALL* FindProp)(void* Self, const V8Char* wsPropName);
  const V8Char*(V8_CALL* GetPropName)(void* Self, HostLong lPropNum, HostLong lPropAlias);
  bool(V8_CALL* GetPropVal)(void* Self, HostLong lPropNum, V8Variant* pvarPropVal);
  bool(V8_CALL* SetPropVal)(void* Self, HostLong lPropNum, V8Variant* varPropVal);
  bool(V8_CALL* IsPropReadable)(void* Self, HostLong lPropNum);
  bool(V8_CALL* IsPropWritable)(void* Self, HostLong lPropNum);
  HostLong(V8_CALL* GetNMethods)(void* Self);
  HostLong(V8_CALL* FindMethod)(void* Self, const V8Char* wsMethodName);
  const V8Char*(V8_CALL* GetMethodName)(void* Self, HostLong lMethodNum, HostLong lMethodAlias);
  HostLong(V8_CALL* GetNParams)(void* Self, HostLong lMethodNum);
  bool(V8_CALL* GetParamDefValue)(void* Self, HostLong lMethodNum, HostLong lParamNum, V8Variant* pvarParamDefValue);
  bool(V8_CALL* HasRetVal)(void* Self, HostLong lMethodNum);
  bool(V8_CALL* CallAsProc)(void* Self, HostLong lMethodNum, V8Variant* paParams, HostLong lSizeArray);
  bool(V8_CALL* CallAsFunc)(void* Self, HostLong lMethodNum, V8Variant* pvarRetValue, V8Variant* paParams,
                            HostLong lSizeArray);
};

struct TLocaleOps {
  V8DestructorSlots Destructor;
  void(V8_CALL* SetLocale)(void* Self, const V8Char* loc);
};

// The four exports. Plain C functions with undecorated names.
extern "C" {
using TGetClassNames = const V8Char* (*)();
using TGetClassObject = HostLong (*)(const V8Char* wsName, void** pInterface);
using TDestroyObject = HostLong (*)(void** pInterface);
using TGetAttachType = int32_t (*)();
}
