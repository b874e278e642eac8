// The driver library loaded, logging, and unloaded the way a host does it:
// the stop line must reach the day file every time, nothing may be created
// anywhere else, and the library must really leave the process, leaving no
// heap block of its own behind.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/Text.h"
#include "tests/support/CommonSupport.h"
#include "tests/support/SimulatorSupport.h"
#include "tests/support/Sanitizers.h"
#include "tools/v8host/HostComponent.h"

#ifdef ORVEX_ADDRESS_SANITIZED
#include <sanitizer/lsan_interface.h>
#endif

namespace {

namespace fs = std::filesystem;
using namespace v8host;
using testsupport::ReadFileBytes;

constexpr std::u16string_view kClass = u"a_orvextx1c83n";
const std::string kStopEnding = "============Stop log===============\r\n\r\n";

std::u16string DriverBesideTheProgram() {
  return (fs::read_symlink("/proc/self/exe").parent_path() / DRIVER_LIBRARY_NAME).u16string();
}

bool DriverMapped() { return ReadFileBytes("/proc/self/maps").find(DRIVER_LIBRARY_NAME) != std::string::npos; }

bool EndsWith(const std::string& Text, const std::string& Ending) {
  return Text.size() >= Ending.size() && Text.compare(Text.size() - Ending.size(), Ending.size(), Ending) == 0;
}

bool Enabled(const CallOutcome& Outcome) { return Outcome.Return == HostValue(true); }

// Descriptors of this process open on something below Folder.
int DescriptorsBelow(const fs::path& Folder) {
  int Count = 0;
  std::error_code Error;
  for (const auto& Entry : fs::directory_iterator("/proc/self/fd", Error)) {
    const std::string Target = fs::read_symlink(Entry.path(), Error).string();
    if (!Error && Target.starts_with(Folder.string() + "/")) ++Count;
  }
  return Count;
}

// Loads the library, switches logging on, makes a logged call and leaves the
// library loaded as the caller's AddInLibrary holds it.
void LogOneCall(const AddInLibrary& Library) {
  HostMemoryManager Memory;
  HostConnection Connection;
  Component Driver(Library, kClass, ComponentSetup{Memory, Connection});
  ASSERT_TRUE(Driver.SetProperty(Driver.PropNumber(u"LogEnabled"), true).Ok);
  ASSERT_TRUE(Driver.Call(u"GetInterfaceRevision", {}).Ok);
}

// Whether LeakSanitizer finds heap blocks that nothing points to any more
// (it prints them); false in a build without it.
bool HeapBlocksLeaked() {
#ifdef ORVEX_ADDRESS_SANITIZED
  return __lsan_do_recoverable_leak_check() != 0;
#else
  return false;
#endif
}

// An environment variable set for a scope and given back its old value.
class TScopedVariable {
public:
  TScopedVariable(const char* Name, const std::string& Value) : FName(Name) {
    if (const char* Old = std::getenv(Name)) FOld = Old;
    ::setenv(Name, Value.c_str(), 1);
  }
  ~TScopedVariable() {
    if (FOld)
      ::setenv(FName, FOld->c_str(), 1);
    else
      ::unsetenv(FName);
  }
  TScopedVariable(const TScopedVariable&) = delete;
  TScopedVariable& operator=(const TScopedVariable&) = delete;

private:
  const char* FName;
  std::optional<std::string> FOld;
};

// Connects and disconnects, as the host's equipment library does, and leaves
// the library loaded as the caller's AddInLibrary holds it. Connecting creates
// the terminal connector's objects; Connects tells whether it could.
void ConnectOnce(const AddInLibrary& Library, bool Connects) {
  HostMemoryManager Memory;
  HostConnection Connection;
  Component Driver(Library, kClass, ComponentSetup{Memory, Connection});
  EXPECT_EQ(Driver.Call(u"Open", {std::u16string(u"device")}).Return, HostValue(Connects));
  EXPECT_EQ(Driver.Call(u"Close", {std::u16string(u"device")}).Return, HostValue(true));
}

class DriverUnload : public ::testing::Test {
protected:
  void SetUp() override {
    std::string Pattern = (fs::temp_directory_path() / "orvex-unload-XXXXXX").string();
    ASSERT_NE(::mkdtemp(Pattern.data()), nullptr);
    FScratch = Pattern;
    fs::create_directory(FScratch / "data");
    fs::create_directory(FScratch / "cwd");
    ::setenv("PROGRAMDATA", (FScratch / "data").c_str(), 1);
    FOldFolder = fs::current_path();
    fs::current_path(FScratch / "cwd");
  }
  void TearDown() override {
    fs::current_path(FOldFolder);
    ::unsetenv("PROGRAMDATA");
    std::error_code Ignored;
    fs::remove_all(FScratch, Ignored);
  }

  std::string DayLog() const {
    const fs::path Folder = FScratch / "data" / "Orvex" / "a_orvextx1c83n";
    std::string Content;
    for (const auto& Entry : fs::directory_iterator(Folder)) Content += ReadFileBytes(Entry.path());
    return Content;
  }
  bool NothingInTheCurrentFolder() const { return fs::is_empty(FScratch / "cwd"); }

  fs::path FScratch;
  fs::path FOldFolder;
};

TEST_F(DriverUnload, StopLineLandsAndTheLibraryLeavesTheProcess) {
  ASSERT_FALSE(DriverMapped());
  // Several rounds: a writer that reads freed memory at unload fails only now and then.
  for (int Round = 0; Round < 10; ++Round) {
    {
      const AddInLibrary Library(DriverBesideTheProgram());
      LogOneCall(Library);
    }
    const std::string Log = DayLog();
    EXPECT_TRUE(EndsWith(Log, kStopEnding)) << "round " << Round << ":\n" << Log;
    EXPECT_FALSE(DriverMapped()) << "round " << Round << ": the library stayed loaded";
    EXPECT_EQ(DescriptorsBelow(FScratch), 0) << "round " << Round << ": the day file stayed open";
    EXPECT_TRUE(NothingInTheCurrentFolder()) << "round " << Round;
  }

  // A new load starts with logging off.
  const AddInLibrary Library(DriverBesideTheProgram());
  HostMemoryManager Memory;
  HostConnection Connection;
  Component Driver(Library, kClass, ComponentSetup{Memory, Connection});
  EXPECT_FALSE(Enabled(Driver.GetProperty(Driver.PropNumber(u"LogEnabled"))));
}

// What the library keeps of the connector's classes between connections goes
// with it: a host that loads the driver for each piece of work would lose it
// on every unload, and a leak report at the end of every run would hide the
// next real one. The classes missing (a connect that fails) and the simulated
// connector's.
TEST_F(DriverUnload, ConnectingLeavesNothingOnTheHeapOnceTheLibraryIsUnloaded) {
  const struct {
    const char* Name;
    bool Registered;
  } Cases[] = {{"no connector registered", false}, {"the simulated connector", true}};
  for (const auto& Case : Cases) {
    std::optional<TScopedVariable> EmptyRegistry;
    if (Case.Registered) {
      device_test::RegisterSimulator();
    } else {
      fs::create_directories(FScratch / "no-classes");
      EmptyRegistry.emplace("ORVEX_AUTOMATION_REGISTRY", (FScratch / "no-classes").string());
    }
    for (int Round = 0; Round < 3; ++Round) {
      const AddInLibrary Library(DriverBesideTheProgram());
      ConnectOnce(Library, Case.Registered);
    }
    EXPECT_FALSE(DriverMapped()) << Case.Name << ": the library stayed loaded";
    EXPECT_FALSE(HeapBlocksLeaked()) << Case.Name << ": the library left heap blocks behind (the report above)";
  }
}

// The host process ending with the library still loaded.
TEST_F(DriverUnload, StopLineLandsWhenTheProcessEnds) {
  for (int Round = 0; Round < 10; ++Round) {
    const pid_t Child = ::fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
      static const AddInLibrary* const Library = new AddInLibrary(DriverBesideTheProgram());
      LogOneCall(*Library);
      std::exit(0);  // the library's own unload runs with the process's exit handlers
    }
    int Status = 0;
    ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << "round " << Round;
    const std::string Log = DayLog();
    EXPECT_TRUE(EndsWith(Log, kStopEnding)) << "round " << Round << ":\n" << Log;
    EXPECT_TRUE(NothingInTheCurrentFolder()) << "round " << Round;
  }
}

}  // namespace
