// Whole live-sync jobs that read the dumps from loginfo.db: Sales restored
// as the standby SalesDR by job 43, dumps written with their loginfo.db rows
// on the subclient's two mount paths, and a window of one hour that the
// scaled clock runs in about 11 s.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/dump/HighAvailLiveSync.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLCommon/state/CLogInfoDB.h"
#include "JxSQLCommon/state/DBLocker.h"
#include "LogDumpWriter.h"
#include "WzSQLite/CSQLite3Query.h"
#include "tests/JxSQLCommon/dump/DumpJobFixture.h"
#include "tests/JxSQLCommon/dump/LiveSyncTaskSetup.h"

// A live-sync job that lets the test act at each wait between two runs and
// at each dump restore.
class HookedHighAvail : public HighAvailLiveSync {
public:
    std::function<void(int)> atWait = [](int) {};
    std::function<void(const std::string&)> beforeRestore = [](const std::string&) {};
    std::function<void(const std::string&)> afterRestore = [](const std::string&) {};

    CWzError WaitMinTime(CSQLDumpLiveSyncSettings& settings) override {
        atWait(++waits);
        return HighAvailLiveSync::WaitMinTime(settings);
    }
    CWzError DoDbRestore(std::shared_ptr<CJxSQLVDIDumpRestore>& vdi, const std::string& databaseName,
                         const std::string& fullPathLogFile) override {
        beforeRestore(fullPathLogFile);
        CWzError result = HighAvailLiveSync::DoDbRestore(vdi, databaseName, fullPathLogFile);
        afterRestore(fullPathLogFile);
        return result;
    }
    int waits = 0;
};

class HighAvailLiveSyncJob : public DumpJobEndToEnd {
protected:
    static constexpr uint64_t kJob = 43;

    void SetUp() override {
        DumpJobEndToEnd::SetUp();
        // The LSNs of Sales start just below 10000, so that the dumps of a
        // later run have one digit more than those of the first.
        int64_t id = 0;
        ASSERT_FALSE(sim.DatabaseId("Sales", id).IsError());
        SqlSimChanges changes(sim);
        SqlSimLsnState state;
        ASSERT_FALSE(changes.State(id, state).IsError());
        state.currentLsn = 9980;
        ASSERT_FALSE(changes.SetState(id, state).IsError());

        const char sep = '\x12';
        auto entry = [&](const std::string& logical, const std::string& file) {
            return std::string("Sales") + sep + "SalesDR" + sep + logical + sep + "old" + sep +
                   root.File("moved/" + file);
        };
        task.relocations = {entry("Sales", "s.mdf"), entry("Sales2", "s2.ndf"), entry("Sales_log", "s.ldf")};
        task.optionFlags = kRstStandby;
        task.standbyUndoFile = root.File("moved/undo.dat");
        MakeLiveSyncTask(kTask, kJob, {"Sales"});
        // Runs a minute apart in a window of a day, which no run count of a
        // test comes near however slow the machine: a test that wants more
        // than one run ends them itself.
        JXPlatformInfo settings;
        ASSERT_NE(0, settings.setNumber("MSSQLAgent", "LiveSyncHoursToStayAlive", 24));
        ASSERT_NE(0, settings.setNumber("MSSQLAgent", "LiveSyncWaitDurationMinutes", 1));
    }
    // The dump writer: a change, then a log dump of it (with its loginfo.db row).
    std::string DumpOf(const std::string& folder, uint64_t seed) {
        Change(3, seed);
        std::string bak;
        CWzError e = WriteLogDump(kInstance, "Sales", folder, bak);
        EXPECT_TRUE(e.IsSuccess()) << e.AsString();
        return bak;
    }
    std::string LastLSNOf(const std::string& folder, const std::string& bak) {
        CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
        DBLocker locker(&db, DB_LOCALITY_1MIN_RPO, 0, true);
        std::unique_ptr<SQueryHandle> query = db.ExecuteQuery(FX::CSQLite3Sql(
            "SELECT LastLSN FROM Logs WHERE FileName = ?", {std::filesystem::path(bak).filename().string()}));
        return query && query->m_query->NextRow() ? query->m_query->GetStringField(0) : "";
    }
    // ReferenceCount of every dump of both mount paths, by the dump's path.
    std::map<std::string, int64_t> AllCounts() {
        std::map<std::string, int64_t> all;
        for (const std::string& folder : {mpA, mpB}) {
            for (const auto& [name, count] : Counts(folder)) {
                all[std::filesystem::weakly_canonical(folder + "/" + name).string()] = count;
            }
        }
        return all;
    }
    // ReferenceCount of every Logs row of the loginfo.db in `folder`, by file name.
    static std::map<std::string, int64_t> Counts(const std::string& folder) {
        std::map<std::string, int64_t> counts;
        CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
        if (!db.Exists()) return counts;
        DBLocker locker(&db, DB_LOCALITY_1MIN_RPO, 0, true);
        std::unique_ptr<SQueryHandle> query = db.ExecuteQuery("SELECT FileName, ReferenceCount FROM Logs");
        while (query && query->m_query->NextRow()) {
            counts[query->m_query->GetStringField(0)] = query->m_query->GetInt64Field(1);
        }
        return counts;
    }
    // A row of the loginfo.db in `folder` whose dump is not on the disk:
    // listed and referenced by a run, never restored.
    static void Ghost(const std::string& folder) {
        CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
        ASSERT_FALSE(db.Insert("Logs", "DBSerialNo_FK, FileName, FirstLSN, LastLSN, StartTime, EndTime",
                               FX::CSQLite3Sql("1,'ghost.bak','99999','99999',0,0"))
                         .IsError());
    }
    int64_t LogRestores() {
        SimSqlStatement q = sim.Db().Prepare(
            "SELECT COUNT(*) FROM restore_history WHERE destination_database = 'SalesDR' AND type = 'L'");
        return q.Step() ? q.Int(0) : 0;
    }
};
