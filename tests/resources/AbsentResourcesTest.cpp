// A program that embeds no resources finds none, though a library it loads
// carries them: the look-up answers for its own module only.
#include <gtest/gtest.h>

#include "ResourceLibrary.h"
#include "platform/Exception.h"
#include "platform/Resources.h"
#include "resources/StringIds.h"

namespace {

TEST(AbsentResources, TheProgramFindsNoData) {
  EXPECT_FALSE(resources::FindData(u"Parameters"));
  EXPECT_FALSE(resources::FindData(u""));
}

TEST(AbsentResources, TheProgramFindsNoStrings) {
  EXPECT_THROW((void)resources::LoadString(resources::kDriverNameId), Exception);
}

TEST(AbsentResources, TheLibraryFindsItsOwn) {
  EXPECT_EQ(LibraryDataSize(u"parameters"), 2531);
  EXPECT_EQ(LibraryDataSize(u"HELPX"), -1);
  EXPECT_TRUE(LibraryStringIs(resources::kHelpCaptionId, u"Справка"));
}

}  // namespace
