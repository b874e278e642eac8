// A provider library for the tests: "Orvex.TestStore" keeps what is put into
// it, "Orvex.TestBroken" cannot be created, every other class is not provided.
#include <map>
#include <string>

#include "platform/AutomationProvider.h"
#include "platform/Exception.h"

namespace {

using automation::Argument;
using automation::Value;

class Store final : public automation::Object {
public:
  void Put(std::u16string_view Name, const Value& V) override { FProperties[std::u16string(Name)] = V; }

  Value Get(std::u16string_view Name) override {
    const auto Found = FProperties.find(std::u16string(Name));
    if (Found == FProperties.end()) Raise(u"Unknown property ", Name);
    return Found->second;
  }

  // Echo answers its first argument; Increment adds one to its by-reference
  // argument and answers the new value; Swap exchanges its two arguments.
  Value Call(std::u16string_view Name, std::span<Argument> Args) override {
    if (Name == u"Echo" && Args.size() == 1) return Args[0].Get();
    if (Name == u"Increment" && Args.size() == 1) {
      Args[0].Set(automation::ToInt32(Args[0].Get()) + 1);
      return Args[0].Get();
    }
    if (Name == u"Swap" && Args.size() == 2) {
      Value First = Args[0].Get();
      Args[0].Set(Args[1].Get());
      Args[1].Set(std::move(First));
      return {};
    }
    Raise(u"Unknown method ", Name);
  }

private:
  [[noreturn]] static void Raise(std::u16string_view What, std::u16string_view Name) {
    throw Exception(std::u16string(What) + std::u16string(Name));
  }
  std::map<std::u16string, Value> FProperties;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) automation::Object* OrvexCreateAutomationObject(
    const char16_t* ProgId) {
  const std::u16string_view Name = ProgId;
  if (Name == u"Orvex.TestStore") return new Store;
  if (Name == u"Orvex.TestBroken") throw Exception(std::u16string(u"The test class cannot be created"));
  return nullptr;
}
