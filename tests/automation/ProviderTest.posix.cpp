#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/AutomationProvider.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "tests/support/CommonSupport.h"

namespace {

using automation::Argument;
using automation::ObjectRef;
using automation::Value;

namespace fs = std::filesystem;

constexpr char16_t kStore[] = u"Orvex.TestStore";

// Every test registers into a folder of its own, as the tests of one run may
// go at the same time.
class AutomationProvider : public ::testing::Test {
protected:
  void SetUp() override {
    FFolder = fs::path(TEST_REGISTRY_PARENT) / ("registry-" + std::to_string(::getpid()));
    fs::remove_all(FFolder);
    ::setenv("ORVEX_AUTOMATION_REGISTRY", FFolder.c_str(), 1);
    automation::RegisterClass(kStore, FromUtf8(TEST_PROVIDER_PATH));
  }
  void TearDown() override {
    ::unsetenv("ORVEX_AUTOMATION_REGISTRY");
    fs::remove_all(FFolder);
  }

  std::vector<std::string> Entries() const {
    std::vector<std::string> Names;
    for (const auto& Entry : fs::directory_iterator(FFolder)) Names.push_back(Entry.path().filename().string());
    return Names;
  }

  fs::path FFolder;
};

std::u16string CreationFailureOf(std::u16string_view ProgId) {
  return testsupport::FailureOf([ProgId] { automation::CreateObject(ProgId); });
}

bool IsLoaded(const char* Library) {
  void* Handle = ::dlopen(Library, RTLD_NOW | RTLD_NOLOAD);
  if (Handle == nullptr) return false;
  ::dlclose(Handle);
  return true;
}

TEST_F(AutomationProvider, PutsGetsAndCalls) {
  const ObjectRef Store = automation::CreateObject(kStore);
  ASSERT_NE(Store, nullptr);
  Store->Put(u"Amount", Value{u"1000"});
  Store->Put(u"OperationCode", Value{int32_t{1}});
  EXPECT_EQ(Store->Get(u"Amount"), Value{u"1000"});
  EXPECT_EQ(Store->Get(u"OperationCode"), Value{int32_t{1}});

  std::vector<Argument> Echo{Argument::ByValue(int64_t{1} << 40)};
  EXPECT_EQ(Store->Call(u"Echo", Echo), Value{int64_t{1} << 40});

  // A by-value argument takes no write; a by-reference one lands in the caller's variable.
  Value Counter = int32_t{41};
  std::vector<Argument> ByValue{Argument::ByValue(Counter)};
  EXPECT_EQ(Store->Call(u"Increment", ByValue), Value{int32_t{41}});
  EXPECT_EQ(Counter, Value{int32_t{41}});
  std::vector<Argument> ByRef{Argument::ByRef(Counter)};
  EXPECT_EQ(Store->Call(u"Increment", ByRef), Value{int32_t{42}});
  EXPECT_EQ(Counter, Value{int32_t{42}});

  Value Left = u"left";
  Value Right = Store;  // an object travels by reference like any value
  std::vector<Argument> Swap{Argument::ByRef(Left), Argument::ByRef(Right)};
  EXPECT_EQ(Store->Call(u"Swap", Swap), Value{});
  EXPECT_EQ(Left, Value{Store});
  EXPECT_EQ(Right, Value{u"left"});
  Left = {};  // no cycle through the object's own argument
}

TEST_F(AutomationProvider, InstancesAreIndependent) {
  const ObjectRef Request = automation::CreateObject(kStore);
  const ObjectRef Response = automation::CreateObject(kStore);
  Request->Put(u"Status", Value{int32_t{1}});
  Response->Put(u"Status", Value{int32_t{16}});
  EXPECT_EQ(Request->Get(u"Status"), Value{int32_t{1}});
  EXPECT_EQ(Response->Get(u"Status"), Value{int32_t{16}});
}

TEST_F(AutomationProvider, MemberFailuresCarryTheObjectsText) {
  const ObjectRef Store = automation::CreateObject(kStore);
  EXPECT_THROW(
      {
        try {
          Store->Get(u"Missing");
        } catch (const Exception& E) {
          EXPECT_EQ(E.Message(), u"Unknown property Missing");
          throw;
        }
      },
      Exception);
  std::vector<Argument> None;
  EXPECT_THROW(Store->Call(u"Exchange", None), Exception);
}

TEST_F(AutomationProvider, ClassNamesIgnoreCase) {
  const ObjectRef Store = automation::CreateObject(u"ORVEX.teststore");
  Store->Put(u"A", Value{true});
  EXPECT_EQ(Store->Get(u"A"), Value{true});

  // Registering again in another spelling replaces the entry.
  automation::RegisterClass(u"orvex.TESTSTORE", FromUtf8(TEST_PROVIDER_PATH));
  EXPECT_EQ(Entries(), std::vector<std::string>{"orvex.TESTSTORE"});
  std::ifstream Entry(FFolder / "orvex.TESTSTORE");
  std::string Path;
  std::getline(Entry, Path);
  EXPECT_EQ(Path, TEST_PROVIDER_PATH);
}

TEST_F(AutomationProvider, CreationFailures) {
  const std::u16string Provider = FromUtf8(TEST_PROVIDER_PATH);
  automation::RegisterClass(u"Orvex.Missing", u"/nonexistent/libmissing.so");
  automation::RegisterClass(u"Orvex.NoEntry", FromUtf8(TEST_NO_ENTRY_PATH));
  automation::RegisterClass(u"Orvex.NotProvided", Provider);
  automation::RegisterClass(u"Orvex.TestBroken", Provider);
  std::ofstream(FFolder / "Orvex.Relative") << "libstore.so\n";
  fs::permissions(FFolder / "Orvex.Relative",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);

  const struct {
    std::u16string ProgId;
    std::u16string Message;
  } Cases[] = {
      {u"Orvex.Unregistered", u"Invalid class string"},
      {u"", u"Invalid class string"},
      {u"../Orvex.TestStore", u"Invalid class string"},
      {std::u16string(u"Orvex.TestStore\0x", 17), u"Invalid class string"},
      {u"Orvex.Missing",
       u"The automation provider \"/nonexistent/libmissing.so\" of the class \"Orvex.Missing\" is refused: "
       u"\"/nonexistent/libmissing.so\" cannot be resolved: No such file or directory"},
      {u"Orvex.NoEntry", u"The automation provider \"" + FromUtf8(TEST_NO_ENTRY_PATH) +
                             u"\" has no entry OrvexCreateAutomationObject: " + FromUtf8(TEST_NO_ENTRY_PATH) +
                             u": undefined symbol: OrvexCreateAutomationObject"},
      {u"Orvex.NotProvided",
       u"The automation provider \"" + Provider + u"\" does not provide the class \"Orvex.NotProvided\""},
      {u"Orvex.TestBroken", u"The test class cannot be created"},
      {u"Orvex.Relative",
       u"The automation class \"Orvex.Relative\" is registered with the provider \"libstore.so\", which is not an "
       u"absolute path"},
  };
  for (const auto& Case : Cases) EXPECT_EQ(CreationFailureOf(Case.ProgId), Case.Message) << ToUtf8(Case.ProgId);
}

TEST_F(AutomationProvider, RegistrationRefusesWhatCannotBeAnEntry) {
  EXPECT_THROW(automation::RegisterClass(u"Orvex.Relative", u"libstore.so"), Exception);
  EXPECT_THROW(automation::RegisterClass(u"Orvex.Lines", u"/lib/a.so\n/lib/b.so"), Exception);
  EXPECT_THROW(automation::RegisterClass(u"a/b", FromUtf8(TEST_PROVIDER_PATH)), Exception);
  EXPECT_EQ(Entries(), std::vector<std::string>{"Orvex.TestStore"});
}

TEST_F(AutomationProvider, UnregisteredClassIsGone) {
  automation::UnregisterClass(u"orvex.teststore");
  EXPECT_EQ(CreationFailureOf(kStore), u"Invalid class string");
  EXPECT_NO_THROW(automation::UnregisterClass(kStore));

  fs::remove_all(FFolder);  // no registry at all on this machine
  EXPECT_EQ(CreationFailureOf(kStore), u"Invalid class string");
  EXPECT_NO_THROW(automation::UnregisterClass(kStore));
}

// A class created once is looked up again when its registration changed by
// other hands than this process's (a package replacing or removing a file).
TEST_F(AutomationProvider, ChangesMadeBehindTheProcessAreSeenAtTheNextCreation) {
  const auto Rewrite = [this](const std::string& Provider) {
    const fs::path Aside = FFolder / ".aside";
    std::ofstream(Aside) << Provider << "\n";
    fs::permissions(Aside,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    fs::rename(Aside, FFolder / "Orvex.TestStore");
  };
  const struct {
    const char* Name;
    std::function<void()> Change;
    std::u16string Message;
  } Cases[] = {
      {"another provider", [&] { Rewrite(TEST_NO_ENTRY_PATH); },
       u"The automation provider \"" + FromUtf8(TEST_NO_ENTRY_PATH) + u"\" has no entry OrvexCreateAutomationObject: " +
           FromUtf8(TEST_NO_ENTRY_PATH) + u": undefined symbol: OrvexCreateAutomationObject"},
      {"entry removed", [this] { fs::remove(FFolder / "Orvex.TestStore"); }, u"Invalid class string"},
      {"registry removed", [this] { fs::remove_all(FFolder); }, u"Invalid class string"},
  };
  for (const auto& Case : Cases) {
    automation::RegisterClass(kStore, FromUtf8(TEST_PROVIDER_PATH));
    ASSERT_NE(automation::CreateObject(kStore), nullptr) << Case.Name;
    Case.Change();
    EXPECT_EQ(CreationFailureOf(kStore), Case.Message) << Case.Name;
  }
}

// Threads of one host create objects at once while the class is registered
// again and again: every creation finds the class.
TEST_F(AutomationProvider, CreationsFromSeveralThreadsWhileTheClassIsRegisteredAgain) {
  std::atomic<int> Failures = 0;
  std::vector<std::thread> Creators;
  for (int Thread = 0; Thread < 4; ++Thread) {
    Creators.emplace_back([&Failures] {
      for (int Round = 0; Round < 200; ++Round) {
        try {
          if (automation::CreateObject(kStore) == nullptr) ++Failures;
        } catch (const Exception&) {
          ++Failures;
        }
      }
    });
  }
  for (int Round = 0; Round < 50; ++Round) automation::RegisterClass(kStore, FromUtf8(TEST_PROVIDER_PATH));
  for (std::thread& Creator : Creators) Creator.join();
  EXPECT_EQ(Failures, 0);
}

// An exception thrown by the provider is still handled after the object that
// threw it is gone: the library must not go with its last object.
TEST_F(AutomationProvider, LibraryOutlivesItsObjects) {
  ObjectRef Store = automation::CreateObject(kStore);
  automation::UnregisterClass(kStore);
  EXPECT_TRUE(IsLoaded(TEST_PROVIDER_PATH));
  Store->Put(u"Still", Value{u"here"});
  EXPECT_EQ(Store->Get(u"Still"), Value{u"here"});
  try {
    std::exchange(Store, nullptr)->Get(u"Missing");
    ADD_FAILURE() << "no exception";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), u"Unknown property Missing");
  }
  EXPECT_TRUE(IsLoaded(TEST_PROVIDER_PATH));
}

}  // namespace
