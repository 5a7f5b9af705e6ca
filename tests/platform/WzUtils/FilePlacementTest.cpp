// Putting back what a placing set aside: a set-aside file that is gone is a
// failure that names its target, unless the placing was taken on from a
// process that may have ended before it set the file aside.
#include <gtest/gtest.h>

#include <string>

#include "WzUtils/WzFilePlacement.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/TestRoot.h"

namespace jxtest {
namespace {

class FilePlacementTest : public RootedTest {
protected:
    void SetUp() override {
        target = root.File("db/Sales.mdf");
        root.WriteFile("db/Sales.mdf", "old");
        root.WriteFile("db/Sales.mdf.new", "new");
        aside = wz::FilePlacement::AsideName(target);
        ASSERT_FALSE(aside.empty());
    }

    std::string target;
    std::string aside;
};

TEST_F(FilePlacementTest, APutBackThatFindsTheSetAsideFileGoneFailsAndNamesTheTarget) {
    wz::FilePlacement placement;
    std::string error;
    ASSERT_TRUE(placement.Place(target + ".new", target, aside, error)) << error;
    ASSERT_EQ(wz::Fs().Unlink(aside), 0);
    EXPECT_FALSE(placement.PutBack(error));
    EXPECT_NE(error.find(target), std::string::npos) << error;
}

TEST_F(FilePlacementTest, AResumedPlacingWhoseFileWasNeverSetAsideLeavesTheTargetAsItIs) {
    wz::FilePlacement placement;
    placement.Resume(target, aside);
    std::string error;
    EXPECT_TRUE(placement.PutBack(error)) << error;
    EXPECT_EQ(root.ReadFile("db/Sales.mdf"), "old");
}

}  // namespace
}  // namespace jxtest
