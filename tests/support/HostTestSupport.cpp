#include "HostTestSupport.h"

#include <sstream>

#include "platform/Os.h"
#include "platform/Text.h"

namespace hosttest {

std::u16string BesideTestProgram(const char* FileName) {
  const std::u16string Program = os::ModuleFilePath(reinterpret_cast<const void*>(&BesideTestProgram));
  const std::size_t Separator = Program.find_last_of(u"/\\");
  return Program.substr(0, Separator + 1) + FromUtf8(FileName);
}

// Kept loaded until the process ends, as the platform keeps an add-in for its
// whole session: the log writer inside keeps its state in a block it never
// frees, which an unload at exit would turn into a reported leak.
const AddInLibrary& FixtureLibrary() {
  static const AddInLibrary* const Library = new AddInLibrary(BesideTestProgram(kFixtureFileName));
  return *Library;
}

namespace {
// Loaded before any test, so that the command-line tests, which load and unload
// the add-in themselves, never unload it either.
class FixtureLoaded : public ::testing::Environment {
public:
  void SetUp() override { FixtureLibrary(); }
};
[[maybe_unused]] ::testing::Environment* const LoadFixture = ::testing::AddGlobalTestEnvironment(new FixtureLoaded);
}  // namespace

Component& HostSession::Open(std::u16string_view ClassName) { return Open(ClassName, true, true); }

Component& HostSession::Open(std::u16string_view ClassName, bool GiveConnection, bool GiveMemory) {
  FObject = std::make_unique<Component>(FixtureLibrary(), ClassName,
                                        ComponentSetup{Memory, Connection, GiveConnection, GiveMemory, u"ru_RU"});
  return *FObject;
}

void HostSession::TearDown() {
  FObject.reset();
  EXPECT_EQ(Memory.LiveBlocks(), 0u) << "host memory blocks the library kept";
  EXPECT_EQ(Memory.BadFrees(), 0u) << "frees of blocks the host never handed out";
}

int32_t HostSession::CallCount() {
  const CallOutcome Outcome = FObject->GetProperty(Prop(u"CallCount"));
  const int32_t* Count = Outcome.Return ? std::get_if<int32_t>(&*Outcome.Return) : nullptr;
  return Count ? *Count : -1;
}

std::pair<HostValue, std::u16string> HostSession::LastError(Component& Object) {
  const CallOutcome Outcome = Object.Call(u"GetLastError", {});
  EXPECT_TRUE(Outcome.Ok);
  return {Outcome.Return.value_or(HostValue{}), TextOf(Outcome.Params.at(0))};
}

std::u16string TextOf(const HostValue& Value) {
  const auto* Found = std::get_if<std::u16string>(&Value);
  return Found ? *Found : u"<no text>";
}

HostError OnlyError(const CallOutcome& Outcome) {
  EXPECT_EQ(Outcome.Errors.size(), 1u);
  return Outcome.Errors.empty() ? HostError{} : Outcome.Errors.front();
}

RunResult RunHost(const std::vector<std::string>& Args) {
  std::ostringstream Out, Err;
  const int Exit = RunCommandLine(Args, Out, Err);
  return {Exit, Out.str(), Err.str()};
}

}  // namespace hosttest
