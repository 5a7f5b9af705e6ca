// Log dumps written to a dump folder and restored from the files by the engine.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "JxSQLCommon/state/CLogInfoDB.h"
#include "JxSQLCommon/state/DumpXMLFile.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "LogDumpWriter.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/platform/JxSqlDataReaderWriter/VdiHarness.h"
#include "tests/support/TestRoot.h"

namespace {

class LogDumpFiles : public ::testing::Test {
protected:
    // The dump writer waits the engine's default VDI time-out (300 platform
    // seconds) for each block of a dump: a minute of real time here, so that
    // a busy machine cannot fail it. The waits end as the blocks come.
    jxtest::TestRoot root{0.2};

    void SetUp() override {
        SqlSimServerSpec server;
        server.name = vditest::kServer;
        ASSERT_FALSE(sim.Create(server).IsError());
        SqlSimDatabaseSpec db;
        db.name = "Sales";
        db.dataSize = 256 * 1024;
        ASSERT_FALSE(sim.AddDatabase(db).IsError());
        folder = root.path() + "/mp1";
        ASSERT_EQ(0, wz::MakeDirectoryTree(folder));
        SqlDataTransferHandler handler(true, 1, 7, 2, "cs", 1, 0);
        vditest::Outcome o = vditest::Backup(handler, "Sales", 'D', 1, &full);
        ASSERT_TRUE(o.ok) << o.text;
        ASSERT_TRUE(handler.closePipeline(1, false));
    }
    void Change(uint64_t seed) { ASSERT_FALSE(SqlSimChanges(sim).Change({"Sales", 3, seed, "", 0}).IsError()); }
    std::string Dump() {
        std::string bak;
        CWzError e = WriteLogDump(vditest::kServer, "Sales", folder, bak);
        EXPECT_TRUE(e.IsSuccess()) << e.AsString();
        return bak;
    }
    std::vector<std::string> Contents() {
        std::vector<std::string> out;
        for (const std::string& p : vditest::DataFiles(sim, "Sales")) out.push_back(vditest::ReadAll(p));
        return out;
    }
    // Lays the full backup back over Sales, left restoring.
    void RestoreFull() {
        vditest::RestoreOptions options;
        options.replace = true;
        vditest::Outcome o = vditest::Restore("Sales", full, options);
        ASSERT_TRUE(o.ok) << o.text;
    }
    bool RestoreFile(const std::string& file, bool recovery, std::string* error = nullptr) {
        CJxSQLVDI engine;
        vditest::Configure(engine, 1);
        engine.initializeTSqlFlags();
        engine.setRestoreFromFiles(true);
        engine.setBackupType('L');
        if (!recovery) engine.setLoadingState();
        EXPECT_TRUE(engine.SetServerName(vditest::kServer, "Sales"));
        engine.setDBFiles({std::wstring(file.begin(), file.end())});
        const bool ok = engine.StartDBRestore("Sales") && engine.Finalize(false);
        if (error != nullptr) *error = engine.getJXErrorString();
        return ok;
    }

    SqlSimInstance sim;
    std::string folder;
    std::list<RestoreArchiveInfo> full;
};

TEST_F(LogDumpFiles, DumpsAreNumberedAndDescribedBesideTheBackup) {
    Change(1);
    const std::string first = Dump();
    Change(2);
    const std::string second = Dump();
    EXPECT_EQ(folder + "/sales_log_backup_1.bak", first);
    EXPECT_EQ(folder + "/sales_log_backup_2.bak", second);

    LogFileInfo one, two;
    CWzError read = DumpXMLFile().GetSweepMetadataFromXML(folder + "/sales_log_backup_1.xml", one);
    ASSERT_TRUE(read.IsSuccess()) << read.AsString() << root.ReadFile("mp1/sales_log_backup_1.xml");
    ASSERT_TRUE(DumpXMLFile().GetSweepMetadataFromXML(folder + "/sales_log_backup_2.xml", two).IsSuccess());
    EXPECT_EQ("Sales", one.databaseName);
    EXPECT_EQ(one.lastLSN, two.firstLSN);  // an unbroken chain

    CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
    unsigned int serial = 0;
    CWzError found = db.GetDatabaseSerialNo(vditest::kServer, "Sales", serial);
    EXPECT_TRUE(found.IsSuccess()) << found.AsString();

    std::string none;
    EXPECT_TRUE(WriteLogDump(vditest::kServer, "../x", folder, none).IsError());
}

TEST_F(LogDumpFiles, EngineRestoresTheDumpFilesInOrder) {
    Change(1);
    const std::string first = Dump();
    Change(2);
    const std::string second = Dump();
    const std::vector<std::string> expected = Contents();
    Change(3);

    RestoreFull();
    ASSERT_TRUE(RestoreFile(first, false));
    EXPECT_EQ(SQLDB_STATE_RESTORING, vditest::DatabaseState(sim, "Sales"));
    ASSERT_TRUE(RestoreFile(second, true));
    EXPECT_EQ(SQLDB_STATE_ONLINE, vditest::DatabaseState(sim, "Sales"));
    EXPECT_EQ(expected, Contents());
}

TEST_F(LogDumpFiles, AGapInTheDumpsIsRefusedWithTheEnginesText) {
    Change(1);
    Dump();
    Change(2);
    const std::string second = Dump();
    RestoreFull();
    std::string error;
    EXPECT_FALSE(RestoreFile(second, false, &error));
    EXPECT_NE(std::string::npos, error.find("too recent")) << error;
    EXPECT_FALSE(RestoreFile(folder + "/missing.bak", false, &error));
    EXPECT_NE(std::string::npos, error.find("missing.bak")) << error;
}

}  // namespace
