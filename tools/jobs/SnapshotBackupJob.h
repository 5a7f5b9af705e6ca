// SnapshotBackupJob: the backup job of the backup program for a subclient
// whose databases are protected by snapshots.
//
// The walk over the collect file streams nothing for such a job: each
// database is only listed for the snapshot. At the end of the walk the
// snapshot engine snaps the volumes of the listed databases, each volume
// gets its archive file, and the job records the snapshot.
#pragma once

#include <string>
#include <vector>

#include "JxSQLCommon/backup/CSQLBackup.h"

class SnapshotBackupJob : public CSQLBackup {
public:
    using CSQLBackup::doDbBackup;
    bool doDbBackup(CsqlDMO& sqlConnection, const wchar_t* databaseName, unsigned long collectFileOffset,
                    bool& connectionValid, bool& converted, JobManager::SQLStatusTab* record) override;
    bool doVSSSnapBackup(std::vector<std::string>& databases) override;

protected:
    // Whether this phase of the job is taken by snapshot.
    bool IsSnapshotPhase() const;
};
