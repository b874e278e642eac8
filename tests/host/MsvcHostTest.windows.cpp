// A host built with MSVC deletes a component through the destructor slot that
// begins each of its tables: the deleting destructor with flag 1 destroys the
// driver object and frees the component object, with flag 0 only destroys.
#include "tests/support/HostTestSupport.h"

namespace hosttest {
namespace {

class MsvcHostDelete : public HostSession, public ::testing::WithParamInterface<std::size_t> {
protected:
  int32_t LiveObjects() { return std::get<int32_t>(*Open().GetProperty(Prop(u"LiveObjects")).Return); }

  // The destructor slot of the interface at word Index of the component object.
  static void DeleteThrough(void* Object, std::size_t Index, uint32_t Flags) {
    void* Interface = static_cast<void**>(Object) + Index;
    const V8DestructorSlots& Slots = **static_cast<const V8DestructorSlots* const*>(Interface);
    Slots.DeletingDestructor(Interface, Flags);
  }
};

TEST_P(MsvcHostDelete, FlagOneDestroysAndFrees) {
  const int32_t Before = LiveObjects();
  void* Object = nullptr;
  ASSERT_EQ(FixtureLibrary().GetClassObject(u"Fixture", &Object), 1);
  EXPECT_EQ(LiveObjects(), Before + 1);
  DeleteThrough(Object, GetParam(), 1);
  EXPECT_EQ(LiveObjects(), Before);
}

TEST_P(MsvcHostDelete, FlagZeroDestroysOnceAndLeavesTheMemoryToDestroyObject) {
  const int32_t Before = LiveObjects();
  void* Object = nullptr;
  ASSERT_EQ(FixtureLibrary().GetClassObject(u"Fixture", &Object), 1);
  DeleteThrough(Object, GetParam(), 0);
  EXPECT_EQ(LiveObjects(), Before);
  EXPECT_EQ(FixtureLibrary().DestroyObject(&Object), 0);
  EXPECT_EQ(LiveObjects(), Before);
}

// The interface whose table begins at word Index of the component object.
std::string TableName(const ::testing::TestParamInfo<std::size_t>& Info) {
  static const char* const kTables[] = {"InitDone", "LanguageExtender", "Locale"};
  return kTables[Info.param];
}

INSTANTIATE_TEST_SUITE_P(ThroughEachTable, MsvcHostDelete, ::testing::Values(0u, 1u, 2u), TableName);

}  // namespace
}  // namespace hosttest
