// CSQLDumpRestore: the restore job that also restores transaction-log dumps
// straight from the files the dump backup left on a media agent's disk
// library.
//
// It runs the restore sequence of CSQLRestoreBase and hooks into it:
// - after the central server's chains are fetched (AddBackupInfoFromMountedShare)
//   it mounts the disk-library storage of the databases' subclients under
//   "<job results>/dump/<subclient id>", leaves a restore marker beside each
//   database's dumps, lists them, and merges them into each chain by LSN;
// - each merged dump entry is restored from its file (restoreVDIBackup) or,
//   for a restore to disk, copied (restoreVDIBackupToDisk);
// - the destructor drops the markers and unmounts.
// A failure of the dump set-up never fails the job: the chains stay as the
// central server gave them.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "JxSQLCommon/dump/DumpRestoreSettings.h"
#include "JxSQLCommon/dump/DumpSweepUtils.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

class CJxSQLVDI;
class CJxSQLVDIDumpRestore;
class CsqlDMO;

class CSQLDumpRestore : public CSQLRestoreBase {
public:
    CSQLDumpRestore() = default;
    ~CSQLDumpRestore() override;

    bool initializeRestore(RestoreOptionsParser& parser) override;
    bool GetBackupInformationFromRequest(SqlRestoreDbInfo_t& db) override;
    bool restoreVDIBackupToDisk(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup) override;
    bool restoreVDIBackup(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup, const std::list<std::string>& names,
                          const std::list<std::string>& selected) override;
    CWzError AddBackupInfoFromMountedShare(std::list<SqlRestoreDbInfo_t>& dbs) override;

    virtual CWzError PreRestore(DumpRestoreSettings& settings, const std::list<SqlRestoreDbInfo_t>& dbList);
    virtual CWzError PostRestore(DumpRestoreSettings& settings);
    virtual CWzError RestoreBakFileFromDump(DumpRestoreSettings& settings, const SqlRestoreDbInfo_t& db,
                                            const SqlAFilesPerBackup_t& backup, const std::list<std::string>& names,
                                            const std::list<std::string>& selected);
    virtual CWzError RestoreBakFilesFromDump(DumpRestoreSettings& settings);
    virtual CWzError RestoreBakFileFromDumpToDisc(DumpRestoreSettings& settings, const SqlRestoreDbInfo_t& db,
                                                  const SqlAFilesPerBackup_t& backup, const std::string& folder);
    virtual bool UseRestoreCollectFile();
    virtual bool NothingOnDisk(const LSNS& logFiles);
    virtual CWzError AddAFilesFromMountedShare(const DB_LSNS::const_iterator& dbEntry, std::string& lastLSN,
                                               std::map<std::string, SqlAFilesPerBackup_t>& items);
    virtual CWzError BuildArchiveList(const std::string& dbName, std::map<std::string, SqlAFilesPerBackup_t>& items,
                                      std::list<SqlAFilesPerBackup_t>& chain);
    virtual CWzError AddBackupInfoFromMountedShare(const SqlRestoreDbInfo_t& db, std::list<SqlAFilesPerBackup_t>& chain);
    virtual CWzError GetLocalMangledName(std::string& name);
    virtual CWzError MountAll(DumpRestoreSettings& settings);
    virtual CWzError UnMountAll(DumpRestoreSettings& settings);
    virtual bool Mounted(const std::string& folder);
    virtual CWzError PrepareMountPath(const std::string& folder);
    virtual CWzError GetExistingMountPaths(const std::string& folder, std::set<std::string>& paths);
    virtual CWzError AddMountPointsToDatabase(DumpRestoreSettings& settings, uint64_t appID,
                                              const std::set<std::string>& paths);
    virtual CWzError MountRemoteStorages(uint64_t appID, const std::string& mangledName, const std::string& folder,
                                         std::set<std::string>& paths);
    virtual CWzError CreateMarkerFiles(DumpRestoreSettings& settings);
    virtual CWzError GetDatabases(std::vector<std::string>& names);
    virtual CWzError GetDatabases(DB_LSNS& databases);
    virtual CWzError IsDatabaseOnPath(const std::string& db, const std::string& path, bool& found);
    virtual CWzError GetApplicationIDs(const std::list<SqlRestoreDbInfo_t>& dbList, std::set<uint64_t>& ids);
    virtual CWzError Setup(DumpRestoreSettings& settings, const std::list<SqlRestoreDbInfo_t>& dbList);
    virtual CWzError SetupVDIForLogRestore(CJxSQLVDI* vdi, const SqlRestoreDbInfo_t& db,
                                           const SqlAFilesPerBackup_t& backup, const std::string& serverName,
                                           std::string& databaseName, const std::list<std::string>& names,
                                           const std::list<std::string>& selected);
    virtual CWzError DoDbRestore(std::shared_ptr<CJxSQLVDIDumpRestore>& vdi, const std::string& databaseName,
                                 const std::string& fullPathLogFile);
    virtual CWzError GetRestoreInfo(const std::string& dbName, std::string& xml);
    virtual CWzError GetRestoreInfo(const std::string& dbName, DbInfo& info);
    virtual CWzError GetCurrentApplicationIDForDB(const AppIDMap& map, const std::string& db, uint64_t& id);
    virtual CWzError CreateCurrentApplicationIDMap(const std::list<SqlRestoreDbInfo_t>& dbList, AppIDMap& map);
    virtual CWzError GetApplicationIDsFromAfiles(const SqlRestoreDbInfo_t& db, std::set<uint64_t>& ids);

    // Read by tests and the live-sync jobs.
    const DumpRestoreSettings& Settings() const { return m_settings; }
    bool RestoringFromDump() const { return bRestoreFromDump; }

protected:
    DumpRestoreSettings m_settings;
    DumpSweepUtils m_dumpSweepUtils;
    std::string m_clientName;
    bool bRestoreFromDump = false;
};

// A chain entry made from a dump file.
CWzError Populate(SqlAFilesPerBackup_t& out, const LogFileInfo& in);
// The management layer's last error text, then `text`.
std::string GetDMOErrorString(CsqlDMO& dmo, const std::string& text);
