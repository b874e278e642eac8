// The four exports and the life of component objects, as the host sees them.
#include "tests/support/HostTestSupport.h"
#include "tools/v8host/HostFailure.h"

namespace hosttest {
namespace {

TEST(HostExports, NameEveryClassInOrderAndAllowAnyAttachment) {
  EXPECT_EQ(FixtureLibrary().ClassNames(), u"Fixture|Second|Broken");
  EXPECT_EQ(FixtureLibrary().AttachType(), 3);
}

struct ClassObjectCase {
  const char16_t* Name;  // null: no name at all
  HostLong Expected;
};

// A test name for the class name asked for: its letters and digits, every other
// character as its code, so that names differing only in case or blanks stay apart.
std::string ClassObjectCaseName(const ::testing::TestParamInfo<ClassObjectCase>& Info) {
  if (Info.param.Name == nullptr) return "NoName";
  if (*Info.param.Name == u'\0') return "EmptyName";
  std::string Name = "Named_";
  for (const char16_t* C = Info.param.Name; *C != u'\0'; ++C) {
    const bool Plain = (*C >= u'a' && *C <= u'z') || (*C >= u'A' && *C <= u'Z') || (*C >= u'0' && *C <= u'9');
    Name += Plain ? std::string(1, static_cast<char>(*C)) : "_" + std::to_string(static_cast<unsigned>(*C)) + "_";
  }
  return Name;
}

class GetClassObjectTest : public ::testing::TestWithParam<ClassObjectCase> {};

TEST_P(GetClassObjectTest, CreatesOnlyForTheExactNameAndLeavesTheHolderAloneOtherwise) {
  const ClassObjectCase& Case = GetParam();
  int Sentinel = 0;
  void* Holder = &Sentinel;
  EXPECT_EQ(FixtureLibrary().GetClassObject(Case.Name, &Holder), Case.Expected);
  if (Case.Expected == 1) {
    EXPECT_NE(Holder, nullptr);
    EXPECT_NE(Holder, &Sentinel);
    EXPECT_EQ(FixtureLibrary().DestroyObject(&Holder), 0);
  } else {
    EXPECT_EQ(Holder, &Sentinel);
  }
}

INSTANTIATE_TEST_SUITE_P(Names, GetClassObjectTest,
                         ::testing::Values(ClassObjectCase{u"Fixture", 1}, ClassObjectCase{u"Second", 1},
                                           ClassObjectCase{u"FIXTURE", 0}, ClassObjectCase{u"fixture", 0},
                                           ClassObjectCase{u"Fixtur", 0}, ClassObjectCase{u"Fixture ", 0},
                                           ClassObjectCase{u"Fixture|Second", 0}, ClassObjectCase{u"", 0},
                                           ClassObjectCase{nullptr, 0}, ClassObjectCase{u"Unknown", 0},
                                           // its constructor throws: nothing may reach the host
                                           ClassObjectCase{u"Broken", 0}),
                         ClassObjectCaseName);

TEST(HostExports, RefuseANullHolderAndIgnoreAnEmptyOne) {
  EXPECT_EQ(FixtureLibrary().GetClassObject(u"Fixture", nullptr), 0);
  void* Empty = nullptr;
  EXPECT_EQ(FixtureLibrary().DestroyObject(&Empty), 0);
  EXPECT_EQ(FixtureLibrary().DestroyObject(nullptr), 0);
}

class HostComponentLife : public HostSession {};

TEST_F(HostComponentLife, InitAndMemoryManagerAreAcceptedAndInfoIs2000) {
  Component& Object = Open(u"Fixture", false, false);
  EXPECT_TRUE(Object.InitDone().Init(Object.InitDoneInterface(), static_cast<TV8AddInDefBaseEx*>(&Connection)));
  EXPECT_TRUE(Object.InitDone().setMemManager(Object.InitDoneInterface(), static_cast<TV8MemoryManager*>(&Memory)));
  EXPECT_EQ(Object.InitDone().GetInfo(Object.InitDoneInterface()), 2000);
}

TEST_F(HostComponentLife, TwoComponentsKeepTheirOwnState) {
  Component& First = Open();
  Component Second(FixtureLibrary(), u"Fixture", {Memory, Connection});
  ASSERT_NE(First.Object(), Second.Object());
  EXPECT_EQ(std::get<int32_t>(*First.GetProperty(Prop(u"LiveObjects")).Return), 2);

  ASSERT_TRUE(First.SetProperty(Prop(u"Counter"), int32_t{5}).Ok);
  EXPECT_EQ(First.GetProperty(Prop(u"Counter")).Return, HostValue(int32_t{5}));
  EXPECT_EQ(Second.GetProperty(Prop(u"Counter")).Return, HostValue(int32_t{0}));
}

TEST_F(HostComponentLife, DestroyObjectDestroysTheDriverObject) {
  Component& Watcher = Open();
  const HostLong LiveObjects = Prop(u"LiveObjects");
  {
    Component Other(FixtureLibrary(), u"Second", {Memory, Connection});
    EXPECT_EQ(Watcher.GetProperty(LiveObjects).Return, HostValue(int32_t{2}));
  }
  EXPECT_EQ(Watcher.GetProperty(LiveObjects).Return, HostValue(int32_t{1}));
}

TEST_F(HostComponentLife, LocaleIsKeptAndCallsGoOnAfterDone) {
  Component& Object = Open();
  EXPECT_EQ(Object.GetProperty(Prop(u"Locale")).Return, HostValue(std::u16string(u"ru_RU")));
  Object.InitDone().Done(Object.InitDoneInterface());
  EXPECT_EQ(Object.Call(u"Ping", {}).Return, HostValue(true));
}

TEST(HostLibrary, NamesTheMissingExportAndTheUnloadableFile) {
  const std::u16string Partial = BesideTestProgram(HOST_PARTIAL_ADDIN_NAME);
  const std::u16string Missing = BesideTestProgram("no-such-addin.library");
  struct Case {
    std::u16string Path;
    std::string Expected;
  } const Cases[] = {
      {Partial, "does not export GetClassObject"},
      {Missing, "Cannot load the library"},
  };
  for (const Case& Each : Cases) {
    try {
      AddInLibrary Library(Each.Path);
      ADD_FAILURE() << "loaded " << Each.Expected;
    } catch (const HostFailure& Failure) {
      EXPECT_EQ(Failure.Kind(), FailureKind::LoadFailed);
      EXPECT_NE(std::string(Failure.what()).find(Each.Expected), std::string::npos) << Failure.what();
    }
  }
}

}  // namespace
}  // namespace hosttest
