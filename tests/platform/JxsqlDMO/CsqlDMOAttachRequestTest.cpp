// Attach requests as a whole: every database or none, detach by request,
// and the request's instance must be the connected one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tests/platform/JxsqlDMO/AttachRequestXml.h"
#include "tests/support/TestRoot.h"

namespace {

class CsqlDMOAttachRequest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = "srv1/prod";
        ASSERT_TRUE(sim.Create(server).IsSuccess());
        SqlSimDatabaseSpec sales;
        sales.name = "sales";
        ASSERT_TRUE(sim.AddDatabase(sales).IsSuccess());
        std::string error;
        CsqlDMO reader;
        ASSERT_TRUE(reader.getDatabaseFilePaths("srv1/prod", "sales", salesFiles, error)) << error;
        copy = root.File("copy/sales.mdf");
        root.WriteFile("copy/sales.mdf", std::string(8192, 'x'));
    }
    SqlSimInstance sim;
    CsqlDMO dmo;
    std::vector<std::string> salesFiles;
    std::string copy;
};

TEST_F(CsqlDMOAttachRequest, AttachesEveryDatabaseOrNone) {
    ASSERT_TRUE(dmo.initialize("srv1/prod"));
    std::string error;
    // The second name is taken: the first must not stay attached.
    EXPECT_FALSE(
        dmo.AttachDatabases(dmotest::AttachRequestXml("srv1/prod", {{"sales_copy", copy}, {"sales", copy}}), error));
    EXPECT_NE(error.find("sales"), std::string::npos) << error;
    EXPECT_FALSE(dmo.isDatabaseExists("sales_copy"));

    ASSERT_TRUE(dmo.AttachDatabases(dmotest::AttachRequestXml("srv1/prod", {{"sales_copy", copy}}), error)) << error;
    EXPECT_TRUE(dmo.isDatabaseExists("sales_copy"));
    ASSERT_TRUE(
        dmo.DetachDB(dmotest::AttachRequestXml("srv1/prod", {{"sales_copy", copy}, {"never_there", copy}}), error))
        << error;
    EXPECT_FALSE(dmo.isDatabaseExists("sales_copy"));
    EXPECT_TRUE(dmo.isDatabaseExists("sales"));
}

TEST_F(CsqlDMOAttachRequest, RefusesBadRequestsAndOtherInstances) {
    std::string error;
    EXPECT_FALSE(dmo.AttachDatabases("<not a request/>", error));
    EXPECT_FALSE(dmo.AttachDatabases(dmotest::AttachRequestXml("", {{"x", copy}}), error)) << "no instance at all";
    ASSERT_TRUE(dmo.initialize("srv1/prod"));
    EXPECT_FALSE(dmo.AttachDatabases(dmotest::AttachRequestXml("srv1/prod", {}), error)) << "nothing to attach";
    EXPECT_FALSE(dmo.AttachDatabases(dmotest::AttachRequestXml("srv2/other", {{"x", copy}}), error));
    EXPECT_FALSE(dmo.DetachDB(dmotest::AttachRequestXml("srv2/other", {{"sales", salesFiles[0]}}), error));
    EXPECT_TRUE(dmo.isDatabaseExists("sales"));
    // Without initialize the request's own instance is used.
    CsqlDMO fresh;
    ASSERT_TRUE(fresh.AttachDatabases(dmotest::AttachRequestXml("srv1/prod", {{"by_request", copy}}), error)) << error;
    EXPECT_TRUE(dmo.isDatabaseExists("by_request"));
}

}  // namespace
