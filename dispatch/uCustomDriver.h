#pragma once
// The base of every driver class: the export tables that say which members the
// host may reach, their registration, the one property accessor, and the
// success and failure endings of the exported methods.
#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "bridge/v8napi.h"
#include "equipment/uEquipmentErrors.h"
#include "platform/Exception.h"
#include "platform/Text.h"

class TCustomDriver;

// ---------------------------------------------------------------------------
// The last call's outcome, as GetLastError reports it.
struct TResult {
  int32_t ErrorCode = 0;
  std::u16string ErrorDescription;
  bool BoolResult = true;
  // Why the call's log lines were lost, when they were; the call's outcome
  // stays what it was.
  std::u16string LogLoss;

  void Clear();
  void SetError(std::u16string_view ADescription, int32_t AErrorCode);
  // 0 after a success; the recorded code, or the general failure code when none was given.
  int32_t GetIntResult() const noexcept;
  // The description GetLastError gives: the failure's message, and the lost
  // log lines' reason after it.
  std::u16string DescriptionText() const;
};

// The kind of a setting's value as the settings document names it.
enum class TValueKind : uint8_t { vkString = 0, vkNumber = 1, vkBoolean = 2, vkUnknown = 3 };
// "String", "Number", "Boolean", "Unknown"; raises "Enum value unacceptable" otherwise.
std::u16string ValueKindToStr(TValueKind Kind);

// How the property accessor converts a property's C++ type.
enum class TPropKind : uint8_t { pkInteger, pkFloat, pkBoolean, pkEnumeration, pkString, pkOther };

namespace exports {

template <class T>
inline constexpr bool IsCharacter =
    std::is_same_v<T, char> || std::is_same_v<T, signed char> || std::is_same_v<T, unsigned char> ||
    std::is_same_v<T, wchar_t> || std::is_same_v<T, char8_t> || std::is_same_v<T, char16_t> ||
    std::is_same_v<T, char32_t>;

template <class T>
inline constexpr bool IsText =
    std::is_same_v<T, std::u16string> || std::is_same_v<T, std::string> || std::is_same_v<T, std::wstring>;

template <class T>
constexpr TPropKind PropKindOf() {
  if constexpr (std::is_same_v<T, bool>)
    return TPropKind::pkBoolean;
  else if constexpr (IsCharacter<T>)
    return TPropKind::pkOther;
  else if constexpr (std::is_integral_v<T>)
    return TPropKind::pkInteger;
  else if constexpr (std::is_floating_point_v<T>)
    return TPropKind::pkFloat;
  else if constexpr (std::is_enum_v<T>)
    return TPropKind::pkEnumeration;
  else if constexpr (IsText<T>)
    return TPropKind::pkString;
  else
    return TPropKind::pkOther;
}

// The settings form's kind: characters count as text here, unlike in the accessor.
template <class T>
constexpr TValueKind ValueKindOf() {
  if constexpr (std::is_same_v<T, bool>)
    return TValueKind::vkBoolean;
  else if constexpr (IsCharacter<T> || IsText<T>)
    return TValueKind::vkString;
  else if constexpr (std::is_arithmetic_v<T>)
    return TValueKind::vkNumber;
  else
    return TValueKind::vkUnknown;
}

}  // namespace exports

// ---------------------------------------------------------------------------
// Export metadata. Each driver class lists its own exports in declaration order
// and chains to its base class's table.
using TPropRead = void (*)(TCustomDriver& Self, V8Variant& Value);
using TPropWrite = void (*)(TCustomDriver& Self, const V8Variant& Value);
using TActionRun = void (*)(TCustomDriver& Self);

struct TExportMethod {
  std::u16string_view Name;     // the member's identifier
  std::u16string_view NameLoc;  // the Russian name
  int32_t ParamCount = 0;
  TV8CallAsFunc Execute = nullptr;
  TParamMarks Marks;  // the parameters the log masks
};

struct TExportProp {
  std::u16string_view Name;
  std::u16string_view NameLoc;
  std::u16string_view Caption;   // the label in the settings form
  std::u16string_view DefValue;  // the form's default, as text
  bool ReadOnly = false;
  TPropKind Kind = TPropKind::pkOther;
  TValueKind ValueKind = TValueKind::vkUnknown;
  TPropRead Read = nullptr;
  TPropWrite Write = nullptr;  // null only for a read-only property
};

struct TExportAction {
  std::u16string_view Name;
  std::u16string_view Caption;
  TActionRun Run = nullptr;
};

struct TExportTable {
  const TExportTable* Base = nullptr;
  std::span<const TExportMethod> Methods;
  std::span<const TExportProp> Props;
  std::span<const TExportAction> Actions;
};

// Visits every entry of one kind, the most derived class first, declaration
// order within a class.
template <class Entry, class Visit>
void ForEachExport(const TExportTable& Table, std::span<const Entry> TExportTable::*Entries, Visit&& Visitor) {
  for (const TExportTable* Level = &Table; Level; Level = Level->Base) {
    for (const Entry& Item : Level->*Entries) Visitor(Item);
  }
}

// ---------------------------------------------------------------------------
class TCustomDriver : public TV8UserObject {
public:
  TCustomDriver();
  ~TCustomDriver() override;

  // The exports of this class and its ancestors. Every driver class declares
  // both: the static one for registration, the virtual one for the accessor.
  static const TExportTable& Exports();
  virtual const TExportTable& ObjectExports() const { return Exports(); }

  const TResult& LastResult() const noexcept { return FLastResult; }

  void SetSuccessResult(V8Variant* RetValue);
  void SetExceptionResult(std::u16string_view Message, V8Variant* RetValue, int32_t AErrorCode);
  void SetExceptionResult(const Exception& E, V8Variant* RetValue, int32_t AErrorCode);

  // The accessor the registry holds for every exported property.
  static bool PropertyGetSet(TV8UserObject& Self, const std::u16string& PropName, V8Variant* propValue, bool Get,
                             TV8AddInDefBaseEx*& v8);
  bool PropertyGetSet(std::u16string_view PropName, V8Variant& propValue, bool Get);
  // Sets a property by its English or Russian name in any letter case.
  bool PropertySet(std::u16string_view PropName, const V8Variant& propValue);

  // Registers the class under the extension name; the host sees the same text
  // as class name and as extension name.
  template <class TClass>
  static TClassReg& RegisterClass(std::u16string_view AExtension, TV8UserClass Factory = &NewDriver<TClass>) {
    static_assert(std::is_same_v<decltype(&TClass::ObjectExports), const TExportTable& (TClass::*)() const>,
                  "a registered driver class overrides ObjectExports to answer its own table");
    return RegisterExports(Factory, TClass::Exports(), AExtension);
  }
  template <class TClass>
  static void RegisterDriver(std::u16string_view AExtension, TV8UserClass Factory = &NewDriver<TClass>) {
    RegisterClass<TClass>(AExtension, Factory);
    CompleteDriverRegistration(AExtension);
  }
  static TClassReg& RegisterExports(TV8UserClass Factory, const TExportTable& Table, std::u16string_view AExtension);
  static const std::u16string& ExtensionName();

  template <class TClass>
  static std::unique_ptr<TV8UserObject> NewDriver() {
    return std::make_unique<TClass>();
  }

protected:
  // Picks the error code of the failure being handled. Called only inside a
  // catch block: it may rethrow the failure to look at its type.
  using TErrorCodeOf = int32_t (*)() noexcept;
  static int32_t GeneralFailureCode() noexcept { return kErrorCodeFailure; }

  // The common ending of an exported method: Body's failure, whatever it is,
  // becomes the last result with the code ErrorCodeOf picks for it (the general
  // failure code unless a method picks its own) and a false return value; the
  // method answers true to the bridge either way.
  template <class Body>
  bool RunGuarded(V8Variant* RetValue, Body&& Work, TErrorCodeOf ErrorCodeOf = &GeneralFailureCode) {
    try {
      Work();
      SetSuccessResult(RetValue);
    } catch (...) {
      SetExceptionResult(CurrentExceptionMessage(), RetValue, ErrorCodeOf());
    }
    return true;
  }
  // Output parameters; a host that refuses the memory for a text fails the call.
  void SetTextParam(V8Variant& Param, std::u16string_view Text);
  // For the answers that must not fail: without the host's memory the
  // parameter gets the empty text, which needs none.
  void SetTextParamOrEmpty(V8Variant& Param, std::u16string_view Text) noexcept;

private:
  static void CompleteDriverRegistration(std::u16string_view AExtension);
  // Exactly one of ReadInto and WriteFrom is given.
  bool AccessProperty(std::u16string_view PropName, V8Variant* ReadInto, const V8Variant* WriteFrom);
  TResult FLastResult;
};

// Raises the failure that ends a host call made with fewer parameters than
// the method reads.
[[noreturn]] void RaiseTooFewParameters(int32_t Expected, int32_t Passed);

// The file version as "%d.%d.%d.%d"; the library's own file when FileName is empty.
std::u16string ModuleVersionText(std::u16string_view FileName);
std::u16string ModuleFileName();

// ---------------------------------------------------------------------------
// Entry builders. The thunks turn a member function or accessor pair into the
// uniform pointers the registry and the accessor call.
namespace exports {

template <class T>
struct MemberOf;
template <class C, class R, class... A>
struct MemberOf<R (C::*)(A...)> {
  using Class = C;
};
template <class C, class R, class... A>
struct MemberOf<R (C::*)(A...) const> {
  using Class = C;
  using Value = std::remove_cvref_t<R>;
};

// A host call with fewer records than the method reads is malformed: it fails
// through the normal failure ending, before the method can read past the array.
template <auto Member, int32_t Count>
bool MethodThunk(TV8UserObject& Self, V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                 TV8AddInDefBaseEx*& v8) {
  using TClass = typename MemberOf<decltype(Member)>::Class;
  auto& Driver = static_cast<TClass&>(Self);
  if (Count > 0 && (!Params || ParamCount < Count)) {
    try {
      RaiseTooFewParameters(Count, Params ? ParamCount : 0);
    } catch (const Exception& E) {
      Driver.SetExceptionResult(E, RetValue, kErrorCodeFailure);
    }
    return true;
  }
  return (Driver.*Member)(RetValue, Params, ParamCount, v8);
}

[[noreturn]] void RaisePropertyTypeUnacceptable();
[[noreturn]] void RaiseValueTypeUnacceptable();
void WriteTextValue(TCustomDriver& Self, V8Variant& Value, std::u16string_view Text);

// Text properties may hold UTF-16, UTF-8 or the platform's wide strings.
template <class T>
std::u16string TextToU16(const T& Text) {
  if constexpr (std::is_same_v<T, std::u16string>)
    return Text;
  else if constexpr (std::is_same_v<T, std::string>)
    return FromUtf8(Text);
  else
    return FromWide(Text);
}
template <class T>
T TextFromU16(std::u16string Text) {
  if constexpr (std::is_same_v<T, std::u16string>)
    return Text;
  else if constexpr (std::is_same_v<T, std::string>)
    return ToUtf8(Text);
  else
    return ToWide(Text);
}

template <auto Getter>
void ReadThunk(TCustomDriver& Self, V8Variant& Value) {
  using Traits = MemberOf<decltype(Getter)>;
  using TValue = typename Traits::Value;
  const auto& Driver = static_cast<typename Traits::Class&>(Self);
  constexpr TPropKind Kind = PropKindOf<TValue>();
  if constexpr (Kind == TPropKind::pkInteger) {
    Self.V8SetInt(Value, static_cast<int32_t>((Driver.*Getter)()));
  } else if constexpr (Kind == TPropKind::pkFloat) {
    Self.V8SetDouble(Value, static_cast<double>((Driver.*Getter)()));
  } else if constexpr (Kind == TPropKind::pkBoolean) {
    Self.V8SetBool(Value, (Driver.*Getter)());
  } else if constexpr (Kind == TPropKind::pkString) {
    WriteTextValue(Self, Value, TextToU16((Driver.*Getter)()));
  } else {
    RaisePropertyTypeUnacceptable();
  }
}

// The host's value is converted to what the setter takes, which is as a rule
// what the getter gives: a setter that checks a number's range takes a double,
// so that a 32-bit conversion cannot wrap a value far outside back into it.
template <class T>
struct SetterOf;
template <class C, class A>
struct SetterOf<void (C::*)(A)> {
  using Class = C;
  using Value = std::remove_cvref_t<A>;
};

template <auto Setter>
void WriteThunk(TCustomDriver& Self, const V8Variant& Value) {
  using TValue = typename SetterOf<decltype(Setter)>::Value;
  auto& Driver = static_cast<typename SetterOf<decltype(Setter)>::Class&>(Self);
  constexpr TPropKind Kind = PropKindOf<TValue>();
  if constexpr (Kind == TPropKind::pkInteger) {
    (Driver.*Setter)(static_cast<TValue>(V8AsInt(Value)));
  } else if constexpr (Kind == TPropKind::pkFloat) {
    (Driver.*Setter)(static_cast<TValue>(V8AsDouble(Value)));
  } else if constexpr (Kind == TPropKind::pkBoolean) {
    (Driver.*Setter)(V8AsBool(Value));
  } else if constexpr (Kind == TPropKind::pkString) {
    if (!V8IsString(Value)) RaiseValueTypeUnacceptable();
    (Driver.*Setter)(TextFromU16<TValue>(V8AsWString(Value)));
  } else {
    RaisePropertyTypeUnacceptable();
  }
}

// The parameters, counted from 0, that carry a card number or a secret. An
// index the method does not have fails the table's compilation.
constexpr TParamMarks CardNumbers(std::integral auto... Indices) { return {((uint64_t{1} << Indices) | ...), 0}; }
constexpr TParamMarks Secrets(std::integral auto... Indices) { return {0, ((uint64_t{1} << Indices) | ...)}; }

[[noreturn]] void RaiseMarkBeyondParameters();

template <auto Member, int32_t Count>
constexpr TExportMethod Method(std::u16string_view Name, std::u16string_view NameLoc, TParamMarks Marks = {}) {
  static_assert(Count >= 0 && Count < 64, "a method's parameter marks hold 64 parameters");
  if (((Marks.CardNumbers | Marks.Secrets) >> Count) != 0) RaiseMarkBeyondParameters();
  return {Name, NameLoc, Count, &MethodThunk<Member, Count>, Marks};
}

[[noreturn]] void RaiseMethodNotExported();
[[noreturn]] void RaiseLayoutBeyondParameters();

// The parameter count a table exports for the method of that English name.
constexpr int32_t ParamCountOf(std::span<const TExportMethod> Methods, std::u16string_view Name) {
  for (const TExportMethod& Method : Methods) {
    if (Method.Name == Name) return Method.ParamCount;
  }
  RaiseMethodNotExported();
}

// A method's parameter layout, a table of fields each with its parameter
// Index, checked against the count the method's export entry gives. Built as
// a constexpr table, like the marks, a field at or beyond the count (or a
// method the table lacks) fails the compilation.
template <class Field, std::size_t N>
constexpr std::array<Field, N> Layout(std::span<const TExportMethod> Methods, std::u16string_view Name,
                                      const Field (&Fields)[N]) {
  const int32_t Count = ParamCountOf(Methods, Name);
  for (const Field& Item : Fields) {
    if (Item.Index < 0 || Item.Index >= Count) RaiseLayoutBeyondParameters();
  }
  return std::to_array(Fields);
}
// The layout of a method without parameters.
template <class Field>
constexpr std::array<Field, 0> Layout(std::span<const TExportMethod> Methods, std::u16string_view Name) {
  ParamCountOf(Methods, Name);
  return {};
}

template <auto Getter, auto Setter>
constexpr TExportProp Property(std::u16string_view Name, std::u16string_view NameLoc, std::u16string_view Caption,
                               std::u16string_view DefValue, bool ReadOnly) {
  using TValue = typename MemberOf<decltype(Getter)>::Value;
  return {Name,
          NameLoc,
          Caption,
          DefValue,
          ReadOnly,
          PropKindOf<TValue>(),
          ValueKindOf<TValue>(),
          &ReadThunk<Getter>,
          &WriteThunk<Setter>};
}

template <auto Getter>
constexpr TExportProp ReadOnlyProperty(std::u16string_view Name, std::u16string_view NameLoc,
                                       std::u16string_view Caption, std::u16string_view DefValue) {
  using TValue = typename MemberOf<decltype(Getter)>::Value;
  return {Name,   NameLoc, Caption, DefValue, true, PropKindOf<TValue>(), ValueKindOf<TValue>(), &ReadThunk<Getter>,
          nullptr};
}

template <auto Member>
void ActionThunk(TCustomDriver& Self) {
  (static_cast<typename MemberOf<decltype(Member)>::Class&>(Self).*Member)();
}

template <auto Member>
constexpr TExportAction Action(std::u16string_view Name, std::u16string_view Caption) {
  return {Name, Caption, &ActionThunk<Member>};
}

}  // namespace exports

// The English name of an export is its member's identifier, letter for letter:
// these spell it once. A property Name is read by GetName and written by SetName.
// The cast picks the host-method form where a plain member shares the name.
// A method's optional last argument marks the parameters the log must mask:
// exports::CardNumbers(4), exports::Secrets(7).
#define ORVEX_EXPORT_METHOD(Class, Name, NameLoc, ParamCount, ...)                                                    \
  ::exports::Method<static_cast<bool (Class::*)(V8Variant*, V8Variant*, int32_t, TV8AddInDefBaseEx*&)>(&Class::Name), \
                    ParamCount>(u"" #Name, NameLoc __VA_OPT__(, ) __VA_ARGS__)
#define ORVEX_EXPORT_PROPERTY(Class, Name, NameLoc, Caption, DefValue, ReadOnly) \
  ::exports::Property<&Class::Get##Name, &Class::Set##Name>(u"" #Name, NameLoc, Caption, DefValue, ReadOnly)
#define ORVEX_EXPORT_READONLY_PROPERTY(Class, Name, NameLoc, Caption, DefValue) \
  ::exports::ReadOnlyProperty<&Class::Get##Name>(u"" #Name, NameLoc, Caption, DefValue)
#define ORVEX_EXPORT_ACTION(Class, Name, Caption) ::exports::Action<&Class::Name>(u"" #Name, Caption)
