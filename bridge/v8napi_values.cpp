// The host's value records: writers through the host memory manager, readers,
// and the text form of a value used in the call log.
#include <cmath>
#include <cstring>
#include <limits>

#include "bridge/v8napi.h"
#include "logging/Common.Log.h"
#include "logging/Common.LogMask.h"
#include "platform/Exception.h"
#include "platform/Os.h"
#include "platform/Text.h"

#if defined(_WIN32)
#include <unknwn.h>
#endif

namespace {

uint16_t BaseType(const V8Variant& V) noexcept { return static_cast<uint16_t>(V.vt & VTYPE_BASE_MASK); }

bool OwnsHostMemory(uint16_t Type) noexcept { return Type == VTYPE_PSTR || Type == VTYPE_PWSTR || Type == VTYPE_BLOB; }

void ReleaseInterface([[maybe_unused]] void* Interface) {
#if defined(_WIN32)
  // On Windows an interface value is a COM object: the record holds one reference.
  static_cast<IUnknown*>(Interface)->Release();
#endif
  // Elsewhere the host's interface objects carry no reference the add-in may drop.
}

void* AllocateHostBlock(TV8MemoryManager* MM, uint64_t Size) noexcept {
  if (!MM || Size > std::numeric_limits<uint32_t>::max()) return nullptr;
  void* Block = nullptr;
  if (!MM->Ops->AllocMemory(MM, &Block, static_cast<HostULong>(Size))) return nullptr;
  return Block;
}

// Writes a narrow string or blob: Terminated adds a NUL after the bytes.
bool SetNarrow(TV8MemoryManager* MM, V8Variant& V, uint16_t Type, const char* Bytes, std::size_t Length,
               bool Terminated) noexcept {
  V8ClearVar(MM, V);
  V.vt = Type;
  const uint64_t Size = Length + (Terminated ? 1u : 0u);
  if (Size == 0) return true;
  void* Block = AllocateHostBlock(MM, Size);
  if (!Block) return false;
  if (Length != 0) std::memcpy(Block, Bytes, Length);  // Bytes may be null then
  if (Terminated) static_cast<char*>(Block)[Length] = 0;
  V.vtRecString.pstrVal = static_cast<char*>(Block);
  V.vtRecString.strLen = static_cast<uint32_t>(Length);
  return true;
}

template <class T>
void SetPlain(TV8MemoryManager* MM, V8Variant& V, uint16_t Type, T V8Variant::*Member, T Value) noexcept {
  V8ClearVar(MM, V);
  V.vt = Type;
  V.*Member = Value;
}

[[noreturn]] void RaiseInvalidFloatOperation() { throw Exception(std::u16string(u"Invalid floating point operation")); }

// Truncates toward zero and keeps the low 32 bits of the 64-bit integer part.
int32_t TruncToInt32(double Value) {
  constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63
  if (!(Value > -kInt64Limit - 1 && Value < kInt64Limit)) RaiseInvalidFloatOperation();
  const auto Whole = static_cast<int64_t>(Value);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(Whole)));
}

int32_t TextToInt32(const V8Variant& V) {
  int32_t Value = 0;
  return TryParseInt32(V8AsWString(V), Value) ? Value : 0;
}

double TextToDouble(const V8Variant& V) {
  double Value = 0;
  return TryParseDouble(V8AsWString(V), Value) ? Value : 0;
}

int32_t GenericInt(const V8Variant& V) {
  switch (BaseType(V)) {
    case VTYPE_I2: return V.shortVal;
    case VTYPE_I4: return V.lVal;
    case VTYPE_R4: return TruncToInt32(static_cast<double>(V.fltVal));
    case VTYPE_R8: return TruncToInt32(V.dblVal);
    case VTYPE_DATE: return TruncToInt32(V.date);
    case VTYPE_ERROR: return V.errCode;
    case VTYPE_UI1: return V.ui8Val;
    case VTYPE_PWSTR: return TextToInt32(V);
    default: return 0;
  }
}

double GenericDouble(const V8Variant& V) {
  switch (BaseType(V)) {
    case VTYPE_I2: return V.shortVal;
    case VTYPE_I4: return V.lVal;
    case VTYPE_R4: return static_cast<double>(V.fltVal);
    case VTYPE_DATE: return V.date;
    case VTYPE_ERROR: return V.errCode;
    case VTYPE_UI1: return V.ui8Val;
    case VTYPE_PWSTR: return TextToDouble(V);
    default: return 0;
  }
}

const char16_t* BaseTypeName(uint16_t Type) noexcept {
  static constexpr const char16_t* Names[] = {
      u"VTYPE_EMPTY", u"VTYPE_NULL",    u"VTYPE_I2",      u"VTYPE_I4",   u"VTYPE_R4",
      u"VTYPE_R8",    u"VTYPE_DATE",    u"VTYPE_TM",      u"VTYPE_PSTR", u"VTYPE_INTERFACE",
      u"VTYPE_ERROR", u"VTYPE_BOOL",    u"VTYPE_VARIANT", u"VTYPE_I1",   u"VTYPE_UI1",
      u"VTYPE_UI2",   u"VTYPE_UI4",     u"VTYPE_I8",      u"VTYPE_UI8",  u"VTYPE_INT",
      u"VTYPE_UINT",  u"VTYPE_HRESULT", u"VTYPE_PWSTR",   u"VTYPE_BLOB", u"VTYPE_CLSID"};
  if (Type < std::size(Names)) return Names[Type];
  if (Type == VTYPE_STR_BLOB) return u"VTYPE_STR_BLOB";
  return nullptr;
}

// The whole type codes that have a text form; everything else (flag bits
// included) is refused with the type's name.
enum class TextKind { Empty, Int32, Double, Date, Bool, Int64, WideString };

TextKind TextKindOf(const V8Variant& V) {
  switch (V.vt) {
    case VTYPE_EMPTY: return TextKind::Empty;
    case VTYPE_I4: return TextKind::Int32;
    case VTYPE_R8: return TextKind::Double;
    case VTYPE_DATE:
    case VTYPE_TM: return TextKind::Date;
    case VTYPE_BOOL: return TextKind::Bool;
    case VTYPE_I8: return TextKind::Int64;
    case VTYPE_PWSTR: return TextKind::WideString;
    default: throw Exception(FormatText(u"Unsupported data type - %s", {V8TypeName(V)}));
  }
}

bool IsMidnight(const LocalDateTime& D) noexcept {
  return D.Hour == 0 && D.Minute == 0 && D.Second == 0 && D.Millisecond == 0;
}

std::u16string DateToText(const V8Variant& V) {
  const LocalDateTime D = DecodeDateTime(V8AsDate(V));
  return os::FormatLocaleDateTime(D, !IsMidnight(D));
}

bool IsBlobParam(const V8Variant& V) noexcept { return V.vt == VTYPE_BLOB; }

}  // namespace

// ---------------------------------------------------------------------------
void V8FreeMemory(TV8MemoryManager* MM, void* Block) noexcept {
  if (!MM || !Block) return;
  MM->Ops->FreeMemory(MM, &Block);
}

namespace {
// Out of line: most values a call clears hold nothing to release.
[[gnu::noinline]] void ReleaseHeld(TV8MemoryManager* MM, V8Variant& V, uint16_t Type) noexcept {
  try {
    if (OwnsHostMemory(Type) && V.vtRecString.pstrVal) {
      if (!MM) throw Exception(std::u16string(u"No memory manager to release the value"));
      V8FreeMemory(MM, V.vtRecString.pstrVal);
    } else if (Type == VTYPE_INTERFACE && V.vtRecInterface.pInterfaceVal) {
      ReleaseInterface(V.vtRecInterface.pInterfaceVal);
    }
  } catch (...) {
    WriteLog(u"EXCEPTION V8ClearVar", CurrentExceptionMessage(), TLogLevel::llError);
  }
}
}  // namespace

void V8ClearVar(TV8MemoryManager* MM, V8Variant& V) noexcept {
  const uint16_t Type = BaseType(V);
  if (OwnsHostMemory(Type) || Type == VTYPE_INTERFACE) ReleaseHeld(MM, V, Type);
  std::memset(static_cast<void*>(&V), 0, sizeof(V));
}

void V8SetBool(TV8MemoryManager* MM, V8Variant& V, bool Value) noexcept {
  SetPlain(MM, V, VTYPE_BOOL, &V8Variant::bVal, Value);
}

void V8SetInt(TV8MemoryManager* MM, V8Variant& V, int32_t Value) noexcept {
  SetPlain(MM, V, VTYPE_I4, &V8Variant::lVal, Value);
}

void V8SetInt64(TV8MemoryManager* MM, V8Variant& V, int64_t Value) noexcept {
  SetPlain(MM, V, VTYPE_I8, &V8Variant::llVal, Value);
}

void V8SetDouble(TV8MemoryManager* MM, V8Variant& V, double Value) noexcept {
  SetPlain(MM, V, VTYPE_R8, &V8Variant::dblVal, Value);
}

void V8SetDate(TV8MemoryManager* MM, V8Variant& V, double Value) noexcept {
  SetPlain(MM, V, VTYPE_DATE, &V8Variant::date, Value);
}

V8Char* V8DupWString(TV8MemoryManager* MM, std::u16string_view Value) noexcept {
  void* Block = AllocateHostBlock(MM, 2 * static_cast<uint64_t>(Value.size()) + 2);
  if (!Block) return nullptr;
  auto* Text = static_cast<V8Char*>(Block);
  if (!Value.empty()) std::memcpy(Text, Value.data(), Value.size() * sizeof(V8Char));  // data() may be null
  Text[Value.size()] = 0;
  return Text;
}

void V8SetEmptyWString(TV8MemoryManager* MM, V8Variant& V) noexcept {
  V8ClearVar(MM, V);
  V.vt = VTYPE_PWSTR;
}

bool V8SetWString(TV8MemoryManager* MM, V8Variant& V, std::u16string_view Value) noexcept {
  V8SetEmptyWString(MM, V);
  V8Char* Copy = V8DupWString(MM, Value);
  if (!Copy) return false;
  V.vtRecWideString.pwstrVal = Copy;
  V.vtRecWideString.wstrLen = static_cast<uint32_t>(Value.size());
  return true;
}

bool V8SetPChar(TV8MemoryManager* MM, V8Variant& V, const char* Value) noexcept {
  if (!Value) return true;
  return SetNarrow(MM, V, VTYPE_PSTR, Value, std::strlen(Value), true);
}

bool V8SetString(TV8MemoryManager* MM, V8Variant& V, std::string_view Value) noexcept {
  return SetNarrow(MM, V, VTYPE_PSTR, Value.data(), Value.size(), true);
}

bool V8SetBlob(TV8MemoryManager* MM, V8Variant& V, const void* Value, uint32_t Length) noexcept {
  if (!Value) return true;
  return SetNarrow(MM, V, VTYPE_BLOB, static_cast<const char*>(Value), Length, false);
}

// ---------------------------------------------------------------------------
bool V8AsBool(const V8Variant& V) {
  // The byte is read as a number: a host may store any non-zero value.
  if (BaseType(V) == VTYPE_BOOL) return V.ui8Val != 0;
  return GenericInt(V) != 0;
}

int32_t V8AsInt(const V8Variant& V) {
  if (BaseType(V) == VTYPE_I4) return V.lVal;
  return GenericInt(V);
}

int32_t V8AsLong(const V8Variant& V) {
  if (BaseType(V) == VTYPE_I8) return static_cast<int32_t>(static_cast<uint32_t>(V.ullVal));
  return GenericInt(V);
}

double V8AsDouble(const V8Variant& V) {
  if (BaseType(V) == VTYPE_R8) return V.dblVal;
  return GenericDouble(V);
}

double V8AsDate(const V8Variant& V) {
  switch (BaseType(V)) {
    case VTYPE_R8:
    case VTYPE_DATE: return V.date;
    case VTYPE_TM: return V8TmToDateTime(V.tmVal);
    default: return 0;
  }
}

std::u16string V8AsWString(const V8Variant& V) {
  if (BaseType(V) != VTYPE_PWSTR || !V.vtRecWideString.pwstrVal) return {};
  const V8Char* Text = V.vtRecWideString.pwstrVal;
  const uint32_t Limit = V.vtRecWideString.wstrLen;
  uint32_t Length = 0;
  while (Length < Limit && Text[Length] != 0) ++Length;
  return std::u16string(Text, Length);
}

bool V8IsString(const V8Variant& V) noexcept {
  const uint16_t Type = BaseType(V);
  return Type == VTYPE_PSTR || Type == VTYPE_PWSTR;
}

double V8TmToDateTime(const TV8tm& tm) {
  // Fields far outside their ranges cannot be shifted into a date without overflow.
  const auto Fits = [](int Value, int Low, int High) { return Value >= Low && Value <= High; };
  if (!Fits(tm.tm_year, 1 - 1900, 9999 - 1900) || !Fits(tm.tm_mon, 0, 11)) {
    throw Exception(std::u16string(u"Invalid argument to date encode"));
  }
  return EncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0);
}

std::u16string V8TypeName(const V8Variant& V) {
  const char16_t* Name = BaseTypeName(BaseType(V));
  if (!Name) return u"unknown type";
  std::u16string Text = Name;
  if (V.vt & VTYPE_BYREF) {
    Text += u" by ref";
  } else if (V.vt & VTYPE_ARRAY) {
    Text += u" array";
  } else if (V.vt & VTYPE_VECTOR) {
    Text += u" vector";
  }
  return Text;
}

std::u16string V8ToText(const V8Variant& V) {
  switch (TextKindOf(V)) {
    case TextKind::Empty: return {};
    case TextKind::Int32: return IntToText(V.lVal);
    case TextKind::Double: return FloatToText(V.dblVal);
    case TextKind::Date: return DateToText(V);
    case TextKind::Bool: return V8AsBool(V) ? u"True" : u"False";
    case TextKind::Int64: return IntToText(V.llVal);
    case TextKind::WideString: return V8AsWString(V);
  }
  return {};
}

void V8CheckText(const V8Variant& V) {
  // The usual answers, numbers, strings and Booleans, have a text form as they are.
  if (V.vt == VTYPE_I4 || V.vt == VTYPE_PWSTR || V.vt == VTYPE_BOOL || V.vt == VTYPE_EMPTY) return;
  if (TextKindOf(V) == TextKind::Date) DecodeDateTime(V8AsDate(V));
}

namespace {
// A marked value is read all the same: a value without a text form fails the
// call whether or not it is marked.
std::u16string ParamLogText(const V8Variant& V, const TParamMarks& Marks, int32_t Index) {
  const std::u16string Text = IsBlobParam(V) ? std::u16string(u"BLOB") : V8ToText(V);
  if (Marks.IsSecret(Index)) return std::u16string(kSecretLogMask);
  return Marks.IsCardNumber(Index) ? MaskCardNumber(Text) : Text;
}
}  // namespace

std::u16string V8ParamsToText(const V8Variant* Params, int32_t ParamCount, const TParamMarks& Marks) {
  std::u16string Text = u"[";
  for (int32_t I = 0; Params && I < ParamCount; ++I) {
    if (I > 0) Text += u"; ";
    Text += ParamLogText(Params[I], Marks, I);
  }
  Text += u"]";
  return Text;
}

void V8AddLogMasks(TLogMaskScope& Masks, const V8Variant* Params, int32_t ParamCount, const TParamMarks& Marks) {
  for (int32_t I = 0; Params && I < ParamCount; ++I) {
    if (IsBlobParam(Params[I])) continue;  // the log shows none of its bytes
    if (Marks.IsSecret(I)) Masks.AddSecret(V8ToText(Params[I]));
    if (Marks.IsCardNumber(I)) Masks.AddCardNumber(V8ToText(Params[I]));
  }
}

void V8CheckParamsText(const V8Variant* Params, int32_t ParamCount) {
  for (int32_t I = 0; Params && I < ParamCount; ++I) {
    if (!IsBlobParam(Params[I])) V8CheckText(Params[I]);
  }
}
