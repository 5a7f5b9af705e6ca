// Test support: backups and restores of a simulated database through the
// engine and the data pipeline, as the jobs drive them.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <list>
#include <sstream>
#include <string>

#include "JxSQLVDIBase/CJxSQLVDI.h"
#include "JxSqlDataReaderWriter/DataReaderWriter.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tests/support/TestRoot.h"

namespace vditest {

constexpr const char* kServer = "host/inst";

struct Outcome {
    bool ok = false;
    long code = 0;
    std::string text;
    bool timedOut = false;
    // A backup's set as the job is handed it: the metadata text and the
    // flat description.
    std::string metadata;
    JxSQLBackupSetInfo set;
};

inline void Configure(CJxSQLVDIBase& engine, int streams) {
    engine.setVDIMaxTransferSize(64 * 1024);
    engine.setVDIBuffercount(4);
    engine.setNumberOfStreams(streams);
    engine.setVDITimeOut(3000);  // platform seconds: 3 s of real time in tests
}

inline Outcome Finish(CJxSQLVDIBase& engine, SqlDataTransferHandler& handler, bool transferred) {
    Outcome o;
    bool finalized = engine.Finalize(false);
    o.ok = transferred && finalized;
    o.code = engine.getJXErrorCode();
    o.text = engine.getJXErrorString() + (transferred ? "" : " / " + handler.getLastErrorString());
    o.timedOut = engine.isVdiTimeOut();
    return o;
}

// Backs `database` up (only `fileGroups` when given: a file backup);
// `archives` receives what a restore needs.
inline Outcome Backup(SqlDataTransferHandler& handler, const std::string& database, char type, int streams,
                      std::list<RestoreArchiveInfo>* archives = nullptr,
                      const std::list<std::string>& fileGroups = {}) {
    CJxSQLVDI engine;
    Configure(engine, streams);
    engine.setBackupType(type);
    if (!fileGroups.empty()) engine.SetFFGList(std::list<std::string>{}, fileGroups);
    EXPECT_TRUE(engine.Initialize());
    EXPECT_TRUE(engine.SetServerName(kServer, database));
    handler.setDbName(database);
    handler.setCollectFileOffset(0);
    handler.setVDIBase(&engine);
    handler.setStreams(streams);
    Outcome o = Finish(engine, handler, handler.startTransfer());
    if (o.ok) {
        o.metadata = engine.getXMLBackupSetInfo_10();
        o.set = engine.getBackupSetInfo();
    }
    if (o.ok && archives != nullptr) {
        archives->clear();
        for (auto& [stream, w] : handler.getStreamWriterMap()) {
            RestoreArchiveInfo a;
            a.archiveFileId = w->getArchiveFileId().archiveFileId;
            a.jxCellId = w->getArchiveFileId().jxCellId;
            a.offset = w->getArchiveFileOffset();
            archives->push_back(a);
        }
    }
    handler.removeDataReaderWriters();
    handler.reset();
    return o;
}

struct RestoreOptions {
    bool recovery = false;
    bool replace = false;
    std::string standbyUndo;
    std::string stopAt;
    std::string stopAtMark;
    std::string stopBeforeMark;
    bool verifyOnly = false;
    std::list<std::pair<std::string, std::string>> moves;
    std::list<std::string> files;  // a FILE restore of these logical names
};

inline Outcome Restore(const std::string& database, const std::list<RestoreArchiveInfo>& archives,
                       const RestoreOptions& options) {
    SqlDataTransferHandler handler;
    CJxSQLVDI engine;
    engine.SetRestore();
    Configure(engine, static_cast<int>(archives.size()));
    engine.initializeTSqlFlags();
    for (const auto& [logical, path] : options.moves) engine.addFileToRename(logical, path);
    if (!options.standbyUndo.empty()) {
        std::wstring undo(options.standbyUndo.begin(), options.standbyUndo.end());
        engine.setStandBy(undo.c_str());
    } else if (!options.recovery) {
        engine.setLoadingState();
    }
    if (!options.stopAt.empty()) engine.setPointInTime(options.stopAt);
    if (!options.stopAtMark.empty()) {
        engine.setStopAtMark();
        engine.setMarkName(options.stopAtMark);
    }
    if (!options.stopBeforeMark.empty()) {
        engine.setStopBeforeMark();
        engine.setMarkName(options.stopBeforeMark);
    }
    if (options.replace) engine.setReplace();
    if (!options.files.empty()) engine.SetFFGList(options.files, std::list<std::string>{});
    engine.setVerifyOnly(options.verifyOnly);
    // As the restore job does: no Initialize(), the server last.
    EXPECT_TRUE(engine.SetServerName(kServer, database));
    handler.setDbName(database);
    handler.setVDIBase(&engine);
    handler.setStreams(static_cast<int>(archives.size()));
    handler.setRestoreArchiveFileInfoList(archives);
    return Finish(engine, handler, handler.startTransfer());
}

// A data file of `size` bytes in `group` of `database`; false when it cannot
// be added.
inline bool AddDataFile(SqlSimInstance& sim, const std::string& database, const std::string& group,
                        const std::string& logicalName, uint64_t size = 256 * 1024) {
    SqlSimFileSpec file;
    file.database = database;
    file.fileGroup = group;
    file.logicalName = logicalName;
    file.size = size;
    return sim.AddFile(file).IsSuccess();
}

// The instance kServer with the database Sales of two data files in PRIMARY
// (Sales of `dataSize` bytes and Sales2 of `secondSize`) and its log.
inline void MakeSales(SqlSimInstance& sim, uint64_t dataSize, uint64_t secondSize) {
    SqlSimServerSpec server;
    server.name = kServer;
    ASSERT_FALSE(sim.Create(server).IsError());
    SqlSimDatabaseSpec db;
    db.name = "Sales";
    db.dataSize = dataSize;
    ASSERT_FALSE(sim.AddDatabase(db).IsError());
    ASSERT_TRUE(AddDataFile(sim, "Sales", "PRIMARY", "Sales2", secondSize));
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline int DatabaseState(SqlSimInstance& sim, const std::string& name, bool* readOnly = nullptr) {
    SimSqlStatement q = sim.Db().Prepare("SELECT state, read_only FROM databases WHERE name = ?");
    q.Bind(1, name);
    if (!q.Step()) return -1;
    if (readOnly) *readOnly = q.Int(1) != 0;
    return static_cast<int>(q.Int(0));
}

// Data file paths of a database, by file id.
inline std::vector<std::string> DataFiles(SqlSimInstance& sim, const std::string& name) {
    int64_t id = 0;
    EXPECT_FALSE(sim.DatabaseId(name, id).IsError());
    std::vector<SqlSimFileRow> files;
    EXPECT_FALSE(SqlSimChanges(sim).Files(id, files).IsError());
    std::vector<std::string> out;
    for (const SqlSimFileRow& f : files) {
        if (f.type == 0) out.push_back(f.path);
    }
    return out;
}

}  // namespace vditest
