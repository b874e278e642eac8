#pragma once
// The simulator as the driver meets it: objects created by ProgID through the
// automation layer (the provider library on Linux, the COM server on Windows),
// registered privately for this test program (tools/terminal-sim/ProcessRegistration.h).
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/Automation.h"
#include "tests/support/CommonSupport.h"
#include "tests/support/FakeClock.h"

namespace simtest {

using automation::ObjectRef;
using automation::Value;

// Platform parts (SimPlatform.*.cpp).
void SetVariable(const char* Name, const std::string& Text);  // empty text removes it
std::string ScratchFile(const char* Name);                    // a file path private to this test program

using Puts = std::vector<std::pair<std::u16string, Value>>;

// The fields the driver adds to every request: card entry mode,
// currency, terminal and the date and time, after the given ones.
Puts WithCommon(Puts Fields);

// The pause the driver keeps between two exchanges, and the least the strict
// terminal wants.
inline constexpr uint32_t kPacingMs = 250;

class SimTest : public ::testing::Test {
protected:
  // A reset terminal that reads Clock (shared with the simulator's module).
  void SetUp() override;
  void TearDown() override;

  ObjectRef Packet(const Puts& Fields);
  // A request as the driver makes it: the fields, then the common ones.
  ObjectRef Request(const Puts& Fields) { return Packet(WithCommon(Fields)); }
  // One exchange as the driver runs it: the pacing pause (on Clock), a new
  // link, InitResources, channel, Exchange with the packets and the timeout by
  // reference, FreeResources. Response: the packet to fill, a new one if null.
  ObjectRef Exchange(const ObjectRef& Request, int32_t Timeout = 180000, ObjectRef Response = nullptr);
  // The same without the pause: what a driver that does not pace would do.
  ObjectRef ExchangeAtOnce(const ObjectRef& Request, int32_t Timeout = 180000, ObjectRef Response = nullptr);
  ObjectRef Run(const Puts& Fields) { return Exchange(Request(Fields)); }
  // A field of a response as text, and the same for the control object.

  void Configure(const std::u16string& Text);
  std::string Text(const ObjectRef& Object, std::u16string_view Name);
  std::string Shown(std::u16string_view Name) { return Text(FControl, Name); }
  int32_t ControlNumber(std::u16string_view Name);

  ObjectRef FControl;
  testsupport::TFakeClock Clock;
};

using testsupport::FailureOf;

}  // namespace simtest

namespace simtest {

// Upper-case hex of ASCII text, as the terminal writes it into BER-TLV.
inline std::string Hex(std::string_view Ascii) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string Out;
  for (char C : Ascii) {
    auto B = static_cast<unsigned char>(C);
    Out += kDigits[B >> 4];
    Out += kDigits[B & 0xF];
  }
  return Out;
}

}  // namespace simtest
