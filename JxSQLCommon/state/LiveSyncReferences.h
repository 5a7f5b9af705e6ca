// LiveSyncReferences: the dump rows of log-information databases that one
// live-sync job holds a reference on.
//
// A job holds at most one reference per row. A row is taken when a run
// lists it as newer than the standby, and released once the job is done
// with it: when its dump file has been restored, when a later run no longer
// lists it (the standby has moved past it), or when the job ends
// (ReleaseAll). Each database file is known by its resolved path, so a
// folder reached through two mount points is one file, and the rows held
// can still be released after the mount points are gone.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "JxSQLCommon/state/CLogInfoDB.h"

class LiveSyncReferences {
public:
    LiveSyncReferences() = default;
    LiveSyncReferences(const LiveSyncReferences&) = delete;
    LiveSyncReferences& operator=(const LiveSyncReferences&) = delete;

    void SetJobId(long long jobId) { m_jobId = jobId; }

    // Under one lock of `db` (whose folder is `folder`): the rows of
    // database `serial` after `afterLSN` (all when empty), in LSN order;
    // takes a reference on each one not held yet and releases the held rows
    // of that database that are no longer listed.
    CWzError TakeAndCollect(const CLogInfoDB& db, const std::string& folder, unsigned int serial,
                            const std::string& afterLSN, std::vector<CLogInfoDB::LogRow>& rows);
    // Releases the reference held for the dump file `backupPath` (the path
    // of a listed row, possibly with the restore suffix ".jxf"). `released`
    // tells whether one was held; a failed release keeps it for ReleaseAll.
    CWzError Release(const std::string& backupPath, bool& released);
    // Releases every reference still held; those that fail stay held and
    // the first failure is returned.
    CWzError ReleaseAll();

    size_t HeldCount() const;

private:
    struct Row {
        unsigned int serial = 0;
        std::set<std::string> backupPaths;  // the paths it was listed under
    };
    struct File {
        std::string folder;           // resolved folder of the database
        std::map<int64_t, Row> rows;  // by row id
    };

    void Forget(const std::string& fileKey, int64_t id);

    std::map<std::string, File> m_files;                                 // by resolved database path
    std::map<std::string, std::pair<std::string, int64_t>> m_byBackup;  // backup path -> file, row id
    long long m_jobId = 0;
};
