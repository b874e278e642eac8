#pragma once
// The host's side of an add-in: the library with its four exports, and one
// component called through the explicit operation tables of its component
// object, never through this compiler's own vtables (the platform on Windows is
// built with another compiler, whose layout MinGW's would not match).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/V8Abi.h"
#include "tools/v8host/DynamicLibrary.h"
#include "tools/v8host/HostObjects.h"
#include "tools/v8host/HostValue.h"

namespace v8host {

class AddInLibrary {
public:
  // Raises a HostFailure (LoadFailed) for a library that cannot be loaded or
  // lacks one of the four exports.
  explicit AddInLibrary(const std::u16string& Path);

  std::u16string ClassNames() const;
  // The class names split at "|".
  std::vector<std::u16string> ClassList() const;
  int32_t AttachType() const { return FGetAttachType(); }

  // The exports as they are, for callers that check their exact answers.
  HostLong GetClassObject(const V8Char* Name, void** Holder) const { return FGetClassObject(Name, Holder); }
  HostLong DestroyObject(void** Holder) const { return FDestroyObject(Holder); }

private:
  DynamicLibrary FLibrary;
  TGetClassNames FGetClassNames;
  TGetClassObject FGetClassObject;
  TDestroyObject FDestroyObject;
  TGetAttachType FGetAttachType;
};

struct MethodInfo {
  HostLong Number = -1;
  std::u16string Name;       // language 0
  std::u16string LocalName;  // language 1
  HostLong ParamCount = 0;
  bool HasRetVal = false;
  std::vector<std::optional<HostValue>> Defaults;  // one per parameter
};

struct PropertyInfo {
  HostLong Number = -1;
  std::u16string Name;
  std::u16string LocalName;
  bool Readable = false;
  bool Writable = false;
};

// What a call gave back; the library's blocks are already freed.
struct CallOutcome {
  bool Ok = false;
  std::optional<HostValue> Return;  // functions only
  std::vector<HostValue> Params;    // every parameter after the call
  std::vector<HostError> Errors;    // AddError calls made during it
};

struct ComponentSetup {
  HostMemoryManager& Memory;
  HostConnection& Connection;
  // Parts a test may keep from the component: without them Init or
  // setMemManager is not called.
  bool GiveConnection = true;
  bool GiveMemory = true;
  std::u16string Locale = u"ru_RU";
};

class Component {
public:
  // GetClassObject, then Init, setMemManager and SetLocale. Raises a HostFailure
  // (UnknownClass) when the library creates nothing.
  Component(const AddInLibrary& Library, std::u16string_view ClassName, const ComponentSetup& Setup);
  // DestroyObject.
  ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  void* Object() const noexcept { return FObject; }
  // The interface addresses: words 0, 1 and 2 of the component object.
  void* InitDoneInterface() const noexcept;
  void* ExtenderInterface() const noexcept;
  void* LocaleInterface() const noexcept;
  const TInitDoneOps& InitDone() const noexcept;
  const TLanguageExtenderOps& Extender() const noexcept;
  const TLocaleOps& Locale() const noexcept;

  // Name copies the library hands over are freed at once; nullopt when it gave none.
  std::optional<std::u16string> ExtensionName();
  std::optional<std::u16string> MethodName(HostLong Number, HostLong Language);
  std::optional<std::u16string> PropName(HostLong Number, HostLong Language);
  HostLong MethodCount();
  HostLong PropCount();
  HostLong FindMethod(std::u16string_view Name);
  HostLong FindProp(std::u16string_view Name);
  std::optional<HostValue> DefaultValue(HostLong Method, HostLong Param);

  std::vector<MethodInfo> Methods();
  std::vector<PropertyInfo> Properties();
  MethodInfo Method(HostLong Number);
  PropertyInfo Property(HostLong Number);

  // By English or Russian name; a HostFailure (UnknownName) when neither is known.
  HostLong MethodNumber(std::u16string_view Name);
  HostLong PropNumber(std::u16string_view Name);

  // As the platform calls: exactly GetNParams records, the missing ones filled
  // from the defaults or left empty, CallAsFunc when HasRetVal, else CallAsProc.
  // More arguments than parameters is a HostFailure (BadArgument).
  CallOutcome Call(HostLong Number, const std::vector<HostValue>& Args);
  CallOutcome Call(std::u16string_view Name, const std::vector<HostValue>& Args);
  // A malformed call: exactly the given records and count, whatever GetNParams says.
  CallOutcome CallWithCount(HostLong Number, const std::vector<HostValue>& Args);

  // Readability and writability are checked first, as the platform does; a
  // HostFailure (Refused) when they forbid the access.
  CallOutcome GetProperty(HostLong Number);
  CallOutcome SetProperty(HostLong Number, const HostValue& Value);
  // The plain table operations, without the checks.
  CallOutcome GetPropertyRaw(HostLong Number);
  CallOutcome SetPropertyRaw(HostLong Number, const HostValue& Value);

  const std::vector<HostError>& AllErrors() const noexcept { return FSetup.Connection.Errors; }
  HostMemoryManager& Memory() const noexcept { return FSetup.Memory; }

private:
  std::optional<std::u16string> TakeName(const V8Char* Name);
  CallOutcome Invoke(HostLong Number, std::vector<V8Variant>& Records, bool AsFunction);
  std::vector<V8Variant> RecordsFor(const std::vector<HostValue>& Args);
  void FillMissing(HostLong Number, std::vector<V8Variant>& Records);
  std::vector<HostError> ErrorsSince(std::size_t First) const;
  std::u16string PropLabel(HostLong Number);

  const AddInLibrary& FLibrary;
  ComponentSetup FSetup;
  void* FObject = nullptr;
};

}  // namespace v8host
