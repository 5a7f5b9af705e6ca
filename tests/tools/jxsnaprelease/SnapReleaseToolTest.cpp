// The release command: it ends the mounts whose reservation has passed and
// leaves the others, and answers --help.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tests/JxSQLCommon/state/ChildProcess.h"
#include "tests/platform/JXSnapHandler/SalesSnapshot.h"
#include "tests/platform/JxsqlDMO/AttachRequestXml.h"
#include "tests/support/TestRoot.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

int RunTool(const std::string& arguments, std::string& out) {
    return statetest::RunCommand(std::string(SNAPRELEASE_TOOL) + " " + arguments + " 2>/dev/null", out);
}

class SnapReleaseToolTest : public jxtest::RootedTest {};

TEST_F(SnapReleaseToolTest, EndsOnlyMountsWhoseReservationPassed) {
    SqlSimInstance instance;
    std::vector<std::string> volumes;
    ASSERT_TRUE(snaptest::SnapSales(instance, 7, root.path(), volumes));
    std::string error;

    std::vector<std::string> mounts;
    for (uint64_t job : {1, 2}) {
        SMVolSnapInfo snaps;
        snaps.setSnapJobId(7);
        snaps.setJobId(job);
        ASSERT_TRUE(JXSnapClientAPI::getVolumeSnaps(snaps));
        const std::string mount = root.File("m" + std::to_string(job)) + "/";
        snaps.volumeListBegin()->setMountPath(mount);
        ASSERT_TRUE(JXSnapClientAPI::mountVolumes(snaps));
        const std::string xml =
            dmotest::AttachRequestXml("HOST/INST", {{"Sales_" + std::to_string(job), mount + "Sales.mdf"}});
        CsqlDMO dmo;
        ASSERT_TRUE(dmo.AttachDatabases(xml, error)) << error;
        SMMetaDataInfo item;
        item.setMetaDataType(kSMMetaDataAttachRequest);
        item.setRefType(1);
        item.setRefId(1);
        item.setMetaData(xml);
        snaps.addMetaData(item, true);
        ASSERT_TRUE(JXSnapClientAPI::updateVolumeSnaps(snaps));
        ASSERT_TRUE(JXSnapClientAPI::extendSnapVolumeMount(snaps, 0, job == 1 ? 0 : 30));
        mounts.push_back(mount);
    }

    std::string out;
    ASSERT_EQ(0, RunTool("", out));
    EXPECT_EQ(out, "released mount 7_1\n");
    CsqlDMO dmo;
    ASSERT_TRUE(dmo.initialize("HOST/INST"));
    EXPECT_FALSE(dmo.isDatabaseExists("Sales_1"));
    EXPECT_TRUE(dmo.isDatabaseExists("Sales_2"));
    EXPECT_TRUE(dmo.isDatabaseExists("Sales"));
    EXPECT_FALSE(Exists(mounts[0]));
    EXPECT_TRUE(Exists(mounts[1] + "Sales.mdf"));
}

TEST_F(SnapReleaseToolTest, AnswersHelpAndRefusesArguments) {
    std::string out;
    EXPECT_EQ(0, RunTool("--help", out));
    EXPECT_NE(out.find("usage: jxsnaprelease"), std::string::npos) << out;
    EXPECT_EQ(2, RunTool("now", out));
    EXPECT_EQ(0, RunTool("", out)) << "nothing mounted is nothing to do";
    EXPECT_EQ(out, "");
}

}  // namespace
