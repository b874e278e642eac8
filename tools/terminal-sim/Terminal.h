#pragma once
// The one simulated terminal of the process: every SAPacket, TXLink and
// control object shares it, as they would share the device behind a real
// connector.
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Exception.h"
#include "tools/terminal-sim/Operations.h"
#include "tools/terminal-sim/SimValue.h"

namespace terminal_sim {

enum class ObjectKind { Packet, Link, Control };

struct Counters {
  int32_t PacketsCreated = 0, LinksCreated = 0, LivePackets = 0, LiveLinks = 0;
  int32_t InitResources = 0, FreeResources = 0, Exchanges = 0;
};

// What the control object shows.
struct Snapshot {
  FieldList LastRequest, LastResponse;
  std::vector<std::u16string> Requests;  // every request since the reset, as text
  int32_t LastTimeout = 0;
  std::u16string Channel;  // "port,baud,8,0,0,2" of the last SetChannelTerminalParam
  Counters Count;
  std::u16string Journal;
  int32_t JournalCount = 0;
  int32_t Batch = 0;
  Settings Options;
};

// The strict connector refuses a channel's port or speed.
class ChannelRefused : public Exception {
public:
  ChannelRefused(std::u16string Message, std::u16string Channel)
      : Exception(std::move(Message)), FChannel(std::move(Channel)) {}
  const std::u16string& Channel() const noexcept { return FChannel; }

private:
  std::u16string FChannel;
};

// The least time between the end of the terminal's answer and the next
// exchange; an exchange sooner is answered "busy" in strict mode.
inline constexpr uint32_t kBusyAfterAnswerMs = 250;

class Terminal {
public:
  static Terminal& Instance();

  bool Strict();
  void Created(ObjectKind Kind);  // raises a chosen creation fault
  void Destroyed(ObjectKind Kind) noexcept;
  // Raises a chosen fault; in strict mode also when the link's last channel
  // was refused (RefusedChannel not empty): its port cannot be opened.
  void InitResources(const std::u16string& RefusedChannel);
  void FreeResources();
  // Records the channel; raises a chosen fault, and ChannelRefused in strict
  // mode for a port or speed the connector does not know.
  void SetChannel(const std::array<int32_t, 6>& Params);
  FieldList Exchange(const FieldList& Request, int32_t Timeout);

  // The clock of the simulator's module changed (ShareClock): the time of the
  // last answer is of the old clock and is forgotten.
  void ClockChanged();

  void Reset();
  void Configure(std::u16string_view Text);
  void Set(std::u16string_view Name, std::u16string_view Text);
  Snapshot Look();

private:
  Terminal();
  void RecordRequest(const FieldList& Request, int32_t Timeout);
  void ApplyStartScenario();
  void SaveJournal() const;

  std::mutex FLock;
  TerminalState FState;
  Counters FCount;
  FieldList FLastRequest, FLastResponse;
  std::vector<std::u16string> FRequests;
  int32_t FLastTimeout = 0;
  std::u16string FChannel;
  std::optional<uint32_t> FLastAnswerTick;  // when the terminal last finished an answer
};

// Environment variables read when the terminal starts (and on Reset).
inline constexpr char kScenarioVariable[] = "TANDEMIX_SIM_SCENARIO";
inline constexpr char kStateVariable[] = "TANDEMIX_SIM_STATE";

}  // namespace terminal_sim
