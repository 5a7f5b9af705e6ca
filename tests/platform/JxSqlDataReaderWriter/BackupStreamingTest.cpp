// Streaming backups through the engine and the pipeline into the disk
// library, and the chain rules the engine applies to them.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "JxJobClient/JXJobClient.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxSQLVDIBase/CJxSQLVDI.h"
#include "JxSQLVDIBase/VdiStreamFormat.h"
#include "JxSqlDataReaderWriter/DataReaderWriter.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/PlatformRoot.h"
#include "tests/support/TestRoot.h"

namespace {

constexpr const char* kServer = "host/inst";
constexpr uint64_t kJob = 4242;

class BackupStreamingTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = kServer;
        ASSERT_FALSE(sim.Create(server).IsError());
        SqlSimDatabaseSpec db;
        db.name = "Sales";
        db.dataSize = 1024 * 1024;
        ASSERT_FALSE(sim.AddDatabase(db).IsError());
        handler = SqlDataTransferHandler(true, kJob, 7, 2, "cs", 1, 0);
    }

    // One backup of `type` on `streams` streams; returns the engine's verdict.
    bool Backup(char type, int streams, std::string* error = nullptr, bool copyOnly = false) {
        CJxSQLVDI engine;
        engine.setVDIMaxTransferSize(64 * 1024);
        engine.setVDIBuffercount(4);
        engine.setNumberOfStreams(streams);
        engine.setBackupType(type);
        engine.setCopyOnlyBackup(copyOnly);
        engine.setVDITimeOut(3000);  // platform seconds: 3 s of real time in tests
        EXPECT_TRUE(engine.Initialize());
        EXPECT_TRUE(engine.SetServerName(kServer, "Sales"));
        handler.setDbName("Sales");
        handler.setCollectFileOffset(0);
        handler.setVDIBase(&engine);
        handler.setStreams(streams);
        bool transferred = handler.startTransfer();
        bool ok = engine.Finalize(false) && transferred;
        if (!ok) {
            std::string text = engine.getJXErrorString() + "|" + std::to_string(engine.getJXErrorCode()) + "|" +
                               handler.getLastErrorString();
            if (error) *error = text;
            lastError = text;

            return false;
        }
        metadata = engine.getXMLBackupSetInfo_10();
        writers = handler.getStreamWriterMap();
        return true;
    }

    void Change(uint32_t pages, uint64_t seed) {
        ASSERT_FALSE(SqlSimChanges(sim).Change({"Sales", pages, seed, "", 0}).IsError());
    }

    SqlSimInstance sim;
    SqlDataTransferHandler handler;
    std::string metadata;
    std::string lastError;
    std::map<int, std::shared_ptr<DataReaderWriter>> writers;
};

TEST_F(BackupStreamingTest, FullBackupSpreadsTheDatabaseOverFourStreamsAndCommitsOnClose) {
    ASSERT_TRUE(Backup('D', 4)) << lastError;
    ASSERT_EQ(writers.size(), 4u);
    uint64_t total = 0;
    for (auto& [stream, w] : writers) {
        total += w->getBytesTransferred();
        EXPECT_EQ(w->getArchiveFileOffset(), 0u);
    }
    EXPECT_GT(total, 1024u * 1024u);
    EXPECT_NE(metadata.find("Sales"), std::string::npos);

    DiskLibrary library;
    std::vector<MediaPiece> pieces;
    ASSERT_FALSE(library.PiecesOf(writers[1]->getArchiveFileId().archiveFileId, pieces).IsError());
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_FALSE(pieces[0].committed);
    EXPECT_EQ(pieces[0].type, "D");
    EXPECT_EQ(pieces[0].streams, 4u);

    ASSERT_TRUE(handler.closePipeline(1, false));
    ASSERT_FALSE(library.PiecesOf(writers[1]->getArchiveFileId().archiveFileId, pieces).IsError());
    EXPECT_TRUE(pieces[0].committed);
    // The restart string names the line after the database, once per stream.
    std::string restart = JXJobClient(kJob).getRestartString(0);
    EXPECT_EQ(restart.substr(0, 5), "-o 6|");
    std::string stored;
    ASSERT_FALSE(library.RestartString(kJob, stored).IsError());
    EXPECT_EQ(stored, restart);
}

TEST_F(BackupStreamingTest, LaterDatabasesAppendTheirPiecesAndAQuitRemovesThemFromTheMedia) {
    ASSERT_TRUE(Backup('D', 2));
    uint64_t first = writers[2]->getBytesTransferred();
    handler.removeDataReaderWriters();
    handler.reset();
    ASSERT_TRUE(Backup('D', 2));
    EXPECT_EQ(writers[2]->getArchiveFileOffset(), first);
    std::vector<MediaPiece> pieces;
    ASSERT_FALSE(DiskLibrary().PiecesOf(writers[2]->getArchiveFileId().archiveFileId, pieces).IsError());
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_FALSE(pieces[0].committed);
    EXPECT_FALSE(pieces[1].committed);
    MediaArchiveFile file;
    ASSERT_FALSE(DiskLibrary().FindArchiveFile(writers[2]->getArchiveFileId().archiveFileId, file).IsError());

    ASSERT_TRUE(handler.closePipeline(1, true));
    std::vector<MediaArchiveFile> files;
    ASSERT_FALSE(DiskLibrary().ListArchiveFiles(files).IsError());
    EXPECT_TRUE(files.empty());
    ASSERT_FALSE(DiskLibrary().PiecesOf(file.id.archiveFileId, pieces).IsError());
    EXPECT_TRUE(pieces.empty());
    struct stat st {};
    EXPECT_NE(::stat(file.path.c_str(), &st), 0);
    EXPECT_EQ(JXJobClient(kJob).getRestartString(0), "");
}

TEST_F(BackupStreamingTest, ChainRulesRefuseLogAndDifferentialWithoutAFull) {
    std::string error;
    EXPECT_FALSE(Backup('L', 1, &error));
    EXPECT_NE(error.find("|4214"), std::string::npos) << error;
    EXPECT_FALSE(Backup('I', 1, &error));
    EXPECT_NE(error.find("|3035"), std::string::npos) << error;
    ASSERT_TRUE(Backup('D', 1));
    Change(3, 1);
    ASSERT_TRUE(Backup('I', 1));
    ASSERT_TRUE(Backup('L', 1));
    ASSERT_TRUE(handler.closePipeline(1, false));
}

TEST_F(BackupStreamingTest, DifferentialCarriesOnlyTheChangedExtents) {
    ASSERT_TRUE(Backup('D', 1));
    uint64_t full = writers[1]->getBytesTransferred();
    Change(2, 9);
    ASSERT_TRUE(Backup('I', 1));
    uint64_t diff = writers[1]->getBytesTransferred();
    EXPECT_LE(diff, 2 * SqlSimChanges::kExtentSize + 4096);
    EXPECT_LT(diff, full / 4);
}

TEST_F(BackupStreamingTest, MediaOfflineFailsTheSetUpAndStopsTheJob) {
    jxtest::TestRoot& r = root;
    r.WriteFile("media/offline", "");
    EXPECT_FALSE(Backup('D', 1));
    EXPECT_FALSE(handler.getbSetupPipelineCompleted());
    EXPECT_TRUE(handler.isStopJob());
}

TEST_F(BackupStreamingTest, QuotaStopsTheJobWithThePipelinesOwnReason) {
    root.WriteFile("media/quota", "100000");
    std::string error;
    EXPECT_FALSE(Backup('D', 1, &error));
    EXPECT_NE(error.find("quota"), std::string::npos) << error;
    EXPECT_TRUE(handler.isStopJob());
}

TEST_F(BackupStreamingTest, SwitchFileFailsTheNextBackupWithItsNumber) {
    root.WriteFile("vdi/fail/Sales", "3049");
    std::string error;
    EXPECT_FALSE(Backup('D', 1, &error));
    EXPECT_NE(error.find("|3049"), std::string::npos) << error;
    EXPECT_TRUE(Backup('D', 1));
}

TEST_F(BackupStreamingTest, MetadataNamesTheSetItsLsnsAndFiles) {
    ASSERT_TRUE(Backup('D', 1));
    SQLPmn::SQLDBBackupMetadata parsed;
    ASSERT_EQ(parsed.unserialize(metadata), 0) << metadata;
    std::vector<SQLPmn::SQLDBBackupInfo> sets;
    ASSERT_TRUE(parsed.getlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, sets));
    ASSERT_EQ(sets.size(), 1u);
    SQLPmn::SQLDBBackupInfo full = sets[0];
    std::vector<SQLPmn::SQLFileBackupInfo> files;
    ASSERT_TRUE(parsed.getlistobject(SQLPmn::SQLDBBackupMetadata::kFiles, files));
    using Info = SQLPmn::SQLDBBackupInfo;
    EXPECT_EQ(full.getstring(Info::kDatabaseName), "Sales");
    EXPECT_EQ(full.getstring(Info::kBackupType), "D");
    EXPECT_EQ(full.getstring(Info::kDatabaseBackupLsn), "0");  // the first full has no base
    std::string checkpoint = full.getstring(Info::kCheckpointLsn);
    EXPECT_FALSE(full.getstring(Info::kFirstLsn).empty());
    EXPECT_GT(full.getint64(Info::kBackupStartDate), 0);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].getstring(SQLPmn::SQLFileBackupInfo::kLogicalName), "Sales");
    EXPECT_EQ(files[1].getint64(SQLPmn::SQLFileBackupInfo::kFileType), 1);

    Change(1, 3);
    ASSERT_TRUE(Backup('L', 1));
    SQLPmn::SQLDBBackupMetadata parsedLog;
    ASSERT_EQ(parsedLog.unserialize(metadata), 0);
    ASSERT_TRUE(parsedLog.getlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, sets));
    ASSERT_EQ(sets.size(), 1u);
    SQLPmn::SQLDBBackupInfo log = sets[0];
    EXPECT_EQ(log.getstring(Info::kBackupType), "L");
    EXPECT_EQ(log.getstring(Info::kDatabaseBackupLsn), checkpoint);
    EXPECT_EQ(log.getstring(Info::kFirstLsn), full.getstring(Info::kLastLsn));
    // Both on the database's first recovery path, which forked from none.
    EXPECT_FALSE(full.getstring(Info::kRecoveryPath).empty());
    EXPECT_EQ(log.getstring(Info::kRecoveryPath), full.getstring(Info::kRecoveryPath));
    EXPECT_EQ(log.getstring(Info::kForkedFromPath), "");
}

TEST_F(BackupStreamingTest, SimpleRecoveryRefusesLogBackupsAndCopyOnlyLeavesTheChainAlone) {
    SqlSimDatabaseSpec db;
    db.name = "Quick";
    db.recoveryModel = "SIMPLE";
    ASSERT_FALSE(sim.AddDatabase(db).IsError());
    CJxSQLVDI engine;
    engine.setNumberOfStreams(1);
    engine.setBackupType('L');
    ASSERT_TRUE(engine.Initialize());
    ASSERT_TRUE(engine.SetServerName(kServer, "Quick"));
    handler.setDbName("Quick");
    handler.setVDIBase(&engine);
    handler.setStreams(1);
    EXPECT_FALSE(handler.startTransfer());
    EXPECT_FALSE(engine.Finalize(false));
    EXPECT_EQ(engine.getJXErrorCode(), 4208);

    ASSERT_TRUE(Backup('D', 1));
    Change(2, 5);
    ASSERT_TRUE(Backup('L', 1, nullptr, true));  // copy-only: the records stay for the next log backup
    uint64_t copyOnly = writers[1]->getBytesTransferred();
    ASSERT_TRUE(Backup('L', 1));
    EXPECT_EQ(writers[1]->getBytesTransferred(), copyOnly);
    ASSERT_TRUE(Backup('L', 1));
    EXPECT_LT(writers[1]->getBytesTransferred(), copyOnly);  // the previous one took them
}

}  // namespace
