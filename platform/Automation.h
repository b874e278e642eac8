#pragma once
// Late-bound automation objects: created by a class name (ProgID) and called by
// member name, as the terminal connector expects to be used. On Windows these
// are real COM objects reached through IDispatch; elsewhere a ProgID resolves
// through our own class registry to a provider library (AutomationProvider.h).
// The device code sees only this interface, so both paths run the same code.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace automation {

class Object;
using ObjectRef = std::shared_ptr<Object>;

// What crosses a late-bound call. Empty stands for "nothing" (VT_EMPTY): an
// absent result, or a field the object does not carry.
using Value = std::variant<std::monostate, int32_t, int64_t, bool, std::u16string, ObjectRef>;

// One argument of a method call. By reference, the callee reads the caller's
// variable and may overwrite it (VT_BYREF); by value it gets a copy.
class Argument {
public:
  static Argument ByValue(Value V) { return Argument(std::move(V), nullptr); }
  static Argument ByRef(Value& Target) { return Argument({}, &Target); }

  bool IsByRef() const noexcept { return FRef != nullptr; }
  const Value& Get() const noexcept { return FRef ? *FRef : FValue; }
  // Only a by-reference argument can be written back; by value this is a no-op,
  // as a COM server's write to a by-value argument never reaches the caller.
  void Set(Value V) {
    if (FRef) *FRef = std::move(V);
  }

private:
  Argument(Value V, Value* Ref) : FValue(std::move(V)), FRef(Ref) {}
  Value FValue;
  Value* FRef;
};

// A live automation object. Every failure (unknown member, a failing call, a
// value the member refuses) is an Exception carrying the object's or the
// system's own error text.
class Object {
public:
  virtual ~Object() = default;
  virtual void Put(std::u16string_view Name, const Value& V) = 0;
  virtual Value Get(std::u16string_view Name) = 0;
  virtual Value Call(std::u16string_view Name, std::span<Argument> Args) = 0;
};

// A new, independent instance of the class registered under ProgId. An unknown
// ProgId raises "Invalid class string" like COM; there is no fallback.
ObjectRef CreateObject(std::u16string_view ProgId);

// Conversions with the automation's own rules, shared by every platform:
// integers and Booleans (true = -1, any non-zero number is true) convert to
// each other; texts parse as signed decimal integers with surrounding blanks
// (spaces, tabs) allowed, and as Booleans also the words True and False in any
// case; Empty reads as 0, False or ""; a Boolean reads as the text "True" or
// "False". Anything else (an object, a text that is no such number, a number
// out of range) raises an Exception naming the value and the kind asked for:
// "Could not convert the text "abc" to a 32-bit integer" (texts longer than 40
// characters are cut short with "..."), "... the number 2147483648 to a 32-bit
// integer", "... an object to a text", "... Empty to an object".
int32_t ToInt32(const Value& V);
int64_t ToInt64(const Value& V);
bool ToBool(const Value& V);
std::u16string ToText(const Value& V);
ObjectRef ToObject(const Value& V);  // raises for anything but a live object (also for Nothing, a null ObjectRef)

}  // namespace automation
