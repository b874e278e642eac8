#pragma once
// The peer add-in: the common design of a hand-written Native API component,
// kept as the yardstick the driver's bridge is measured against. Each object
// registers its members in its constructor as std::function getters, setters
// and method bodies under an English and a Russian name; the host's numbers
// are positions in those vectors, names are found by a case-insensitive scan,
// values travel as std::variant and a method's parameter count is that of its
// C++ signature.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "bench/peer/PeerInterfaces.h"
#include "tools/v8host/GxxInterfaces.h"

namespace peer {

using Value = std::variant<std::monostate, bool, int32_t, double, std::u16string>;

struct Property {
  std::u16string Name;
  std::u16string LocalName;
  std::function<Value()> Get;             // empty: not readable
  std::function<void(const Value&)> Set;  // empty: not writable
};

struct Method {
  std::u16string Name;
  std::u16string LocalName;
  long ParamCount = 0;
  std::function<Value(std::vector<Value>&)> Call;
};

class AddIn final : public v8host::GxxComponent {
public:
  static constexpr const char16_t* kClassName = u"Peer";

  AddIn();

  // InitDone
  bool Init(void* HostConnection) override;
  bool setMemManager(void* HostMemory) override;
  long GetInfo() override;
  void Done() override;

  // LanguageExtender
  bool RegisterExtensionAs(char16_t** ExtensionName) override;
  long GetNProps() override;
  long FindProp(const char16_t* Name) override;
  const char16_t* GetPropName(long Number, long Language) override;
  bool GetPropVal(long Number, V8Variant* Value) override;
  bool SetPropVal(long Number, V8Variant* Value) override;
  bool IsPropReadable(long Number) override;
  bool IsPropWritable(long Number) override;
  long GetNMethods() override;
  long FindMethod(const char16_t* Name) override;
  const char16_t* GetMethodName(long Number, long Language) override;
  long GetNParams(long Number) override;
  bool GetParamDefValue(long Number, long Param, V8Variant* Value) override;
  bool HasRetVal(long Number) override;
  bool CallAsProc(long Number, V8Variant* Params, long Count) override;
  bool CallAsFunc(long Number, V8Variant* Return, V8Variant* Params, long Count) override;

  // Locale
  void SetLocale(const char16_t* Name) override;

private:
  void AddProperty(std::u16string Name, std::u16string LocalName, std::function<Value()> Get,
                   std::function<void(const Value&)> Set = {});

  // The body's parameters are all Values; their number is the method's.
  template <class... Params>
  void AddMethod(std::u16string Name, std::u16string LocalName, Value (AddIn::*Body)(Params...)) {
    FMethods.push_back(
        {std::move(Name), std::move(LocalName), static_cast<long>(sizeof...(Params)),
         [this, Body](std::vector<Value>& Args) { return Invoke(Body, Args, std::index_sequence_for<Params...>{}); }});
  }
  template <class... Params, std::size_t... Index>
  Value Invoke(Value (AddIn::*Body)(Params...), [[maybe_unused]] std::vector<Value>& Args,
               std::index_sequence<Index...>) {
    return (this->*Body)(Args[Index]...);
  }

  Value GetRevision();
  Value DoNothing();

  const char16_t* HostCopy(const std::u16string& Text);
  template <class Member>
  const char16_t* NameCopy(const std::vector<Member>& Members, long Number, long Language);
  bool ToRecord(const Value& From, V8Variant& To);
  bool Call(long Number, V8Variant* Return, V8Variant* Params, long Count);

  Connection* FConnection = nullptr;
  MemoryManager* FMemory = nullptr;
  std::u16string FLocale;
  std::vector<Value> FSettings;
  std::vector<Property> FProperties;
  std::vector<Method> FMethods;
};

}  // namespace peer
