#pragma once
// The fuzzing host: the driver's exports linked into the fuzzing program, one
// component per input called through its operation tables with records made
// from the fuzzer's bytes, the simulated terminal behind it, and the checks
// every input ends with.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/V8Abi.h"
#include "tests/fuzz/FuzzText.h"
#include "tools/v8host/HostObjects.h"

namespace fuzzhost {

// Once per process, before the first input (this file's LLVMFuzzerInitialize,
// which every host target shares): the log's machine-wide folder in a private
// temporary folder, no display (a window would wait for a user), the
// simulated terminal registered for the process.
void PrepareProcess();

// The simulated terminal's control object: Reset, and one setting. A value the
// simulator refuses changes nothing.
void ResetSimulator();
void SetSimulator(std::u16string_view Name, std::u16string_view Value);

// One component of the driver, as the platform holds it: created, given the
// connection and the memory manager, its locale set; at the end Done and
// DestroyObject, then every host block must be back and no foreign one freed,
// and no line of the log may show a card number (a run of 13 to 19 digits
// that passes the Luhn check). Every input starts with no log files and the
// log switched on or off as asked.
class TSession {
public:
  explicit TSession(bool LogOn = false);
  ~TSession();
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;

  const TLanguageExtenderOps& Ops() const noexcept;
  void* Extender() const noexcept;
  void SetLocale(const std::u16string& Locale);

  HostLong MethodCount() { return Ops().GetNMethods(Extender()); }
  HostLong PropCount() { return Ops().GetNProps(Extender()); }
  HostLong FindMethod(std::u16string_view Name);
  HostLong FindProp(std::u16string_view Name);

  // A call as the platform makes it: CallAsFunc with the return record, or
  // CallAsProc, with the count of the records or a count below it (even a
  // negative one). A call that answers false must have told the host why
  // through AddError; a text or blob the library writes into a record must sit
  // in a host block that holds it, a text with its terminator; the records
  // beyond the count stay as they were.
  bool Call(HostLong Method, std::vector<V8Variant>& Records, bool AsFunction, V8Variant* Result = nullptr);
  bool Call(HostLong Method, std::vector<V8Variant>& Records, HostLong Count, bool AsFunction);
  bool CallByName(std::u16string_view Name, std::vector<V8Variant>& Records, V8Variant* Result = nullptr);
  bool GetProp(HostLong Number, V8Variant& Value);
  bool SetProp(HostLong Number, V8Variant& Value);

  // A name the library handed over, released as the host does.
  void TakeName(const V8Char* Name);
  void Release(V8Variant& Record) noexcept;
  void Release(std::vector<V8Variant>& Records) noexcept;

  v8host::HostMemoryManager Memory;
  v8host::HostConnection Connection;

private:
  void CheckAnswer(bool Ok, std::size_t ErrorsBefore, const char* What);
  void CheckWritten(const void* Before, const V8Variant& After);
  bool Invoke(HostLong Method, std::vector<V8Variant>& Records, HostLong Count, bool AsFunction, V8Variant* Result);
  void* FObject = nullptr;
};

// Records as the host makes them.
V8Variant TextRecord(v8host::HostMemoryManager& Memory, std::u16string_view Text);
// Any record: the usual value kinds most of the time, otherwise any type code
// with or without flag bits, texts with and without their terminator, lengths
// shorter than the text; every block a host block.
V8Variant FuzzedRecord(FuzzedDataProvider& In, v8host::HostMemoryManager& Memory);
// The text a record holds, empty for any other value.
std::u16string TextOf(const V8Variant& Record);

// UTF-16 text from the fuzzer's bytes (tests/fuzz/FuzzText.h).
std::u16string FuzzedText(FuzzedDataProvider& In, std::size_t MaxUnits);
// One of Items, or now and then a fuzzed text.
std::u16string PickText(FuzzedDataProvider& In, const std::vector<std::u16string_view>& Items, std::size_t MaxUnits);

// One input of a host target: a Run of TInput over the fuzzer's bytes.
template <class TInput>
int RunInput(const uint8_t* Data, std::size_t Size) {
  FuzzedDataProvider In(Data, Size);
  TInput(In).Run();
  return 0;
}

}  // namespace fuzzhost
