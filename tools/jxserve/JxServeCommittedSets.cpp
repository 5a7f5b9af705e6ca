// The central-server stand-in's view of the media: a stored backup set
// becomes restorable only once the disk library shows all of its data
// committed, and the clean-up of a job drops its sets that never were. A
// snapshot set holds its data in its snapshot: it is restorable once
// stored, and the clean-up leaves it.
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "tools/jxserve/JxServeBackupSets.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

struct StoredArchive {
    uint32_t jxCellId = 0;
    uint32_t archiveFileId = 0;
    uint64_t offset = 0;
    std::string sourcePath;
};

constexpr int64_t kBackupSetRequest = static_cast<int64_t>(kSqlBackupSetReq);

std::vector<StoredArchive> ArchivesOf(FX::CSQLite3DB& db, int64_t setId) {
    auto q = db.ExecQuerySetup({"SELECT jxcell_id, archive_file_id, offset, source_path FROM backup_set_archives "
                                "WHERE set_id = ? ORDER BY position",
                                {setId}});
    std::vector<StoredArchive> out;
    while (q->NextRow()) {
        StoredArchive a;
        a.jxCellId = static_cast<uint32_t>(q->GetInt64Field(0));
        a.archiveFileId = static_cast<uint32_t>(q->GetInt64Field(1));
        a.offset = static_cast<uint64_t>(q->GetInt64Field(2));
        a.sourcePath = q->GetStringField(3);
        out.push_back(a);
    }
    return out;
}

// The data files of a stored set, in file order: their file groups, each
// once, and their logical names. A log file belongs to no file group.
void DataFilesOf(FX::CSQLite3DB& db, int64_t setId, JxServeBackup& b) {
    auto q =
        db.ExecQuerySetup({"SELECT filegroup_name, logical_name FROM backup_set_files WHERE set_id = ? AND "
                           "COALESCE(filegroup_name, '') <> '' ORDER BY position",
                           {setId}});
    while (q->NextRow()) {
        std::string group = q->GetStringField(0);
        if (std::find(b.fileGroups.begin(), b.fileGroups.end(), group) == b.fileGroups.end()) {
            b.fileGroups.push_back(std::move(group));
        }
        b.dataFiles.push_back(q->GetStringField(1));
    }
}

// True when the set has data and every piece of it is committed.
bool Committed(DiskLibrary& media, const std::vector<StoredArchive>& archives) {
    if (archives.empty()) return false;
    for (const StoredArchive& a : archives) {
        MediaPiece piece;
        if (media.FindPiece(a.archiveFileId, a.offset, false, piece).IsError() || !piece.committed) return false;
    }
    return true;
}

}  // namespace

void JxServePublishCommittedSets() {
    // Every reader of the restore records publishes, and the host serves its
    // sessions on threads of one process: one publisher at a time, or two
    // would both find a set unpublished and add it twice.
    static std::mutex publishing;
    const std::lock_guard<std::mutex> onePublisher(publishing);
    auto db = JxServeOpenBackupSetStore();
    DiskLibrary media;
    const bool haveMedia = media.Open().IsSuccess();  // no media yet: nothing is committed
    auto q = db->ExecQuerySetup(
        {"SELECT id, instance_id, database_name, backup_type, job_id, application_number, start_date, finish_date, "
         "first_lsn, last_lsn, backup_method, checkpoint_lsn, database_backup_lsn, copy_only, recovery_path, "
         "forked_from_path, fork_lsn FROM backup_sets "
         "WHERE code = ? AND published = 0 ORDER BY id",
         {kBackupSetRequest}});
    std::vector<std::pair<int64_t, JxServeBackup>> ready;
    while (q->NextRow()) {
        const int64_t id = q->GetInt64Field(0);
        const int64_t method = q->GetInt64Field(10);
        std::vector<StoredArchive> archives = ArchivesOf(*db, id);
        if (!JxServeIsSnapshotMethod(method) && !(haveMedia && Committed(media, archives))) continue;
        JxServeBackup b;
        b.instanceId = static_cast<uint64_t>(q->GetInt64Field(1));
        b.database = q->GetStringField(2);
        const std::string type = q->GetStringField(3);
        b.backupType = type.empty() ? 'D' : type[0];
        b.jobId = static_cast<uint64_t>(q->GetInt64Field(4));
        b.applicationId = static_cast<uint64_t>(q->GetInt64Field(5));
        b.startTime = static_cast<uint64_t>(q->GetInt64Field(6));
        b.endTime = static_cast<uint64_t>(q->GetInt64Field(7));
        b.firstLsn = q->GetStringField(8);
        b.lastLsn = q->GetStringField(9);
        b.word10 = static_cast<uint64_t>(method);
        b.checkpointLsn = q->GetStringField(11);
        b.databaseBackupLsn = q->GetStringField(12);
        b.copyOnly = q->GetInt64Field(13) != 0;
        b.recoveryPath = q->GetStringField(14);
        b.forkedFromPath = q->GetStringField(15);
        b.forkLsn = q->GetStringField(16);
        b.backupSize = static_cast<uint64_t>(
            db->ExecScalarInt64({"SELECT COALESCE(SUM(file_size), 0) FROM backup_set_files WHERE set_id = ?", {id}}, 0));
        for (const StoredArchive& a : archives) b.archiveFiles.push_back({a.jxCellId, a.archiveFileId, a.offset, a.sourcePath});
        // What restores read beyond the chain: the time a restore to a point
        // is compared with (the backup's finish) and the file groups and
        // files a file or file-group restore chooses from.
        b.referenceTime = b.endTime;
        DataFilesOf(*db, id, b);
        ready.emplace_back(id, b);
    }
    for (const auto& [id, backup] : ready) {
        JxServePutBackup(backup);
        db->ExecDML({"UPDATE backup_sets SET published = 1 WHERE id = ?", {id}});
    }
}

bool JxServeSetDataCommitted(FX::CSQLite3DB& db, int64_t setId) {
    DiskLibrary media;
    if (media.Open().IsError()) return false;  // no media yet: nothing is committed
    return Committed(media, ArchivesOf(db, setId));
}

std::vector<std::string> JxServeDropUncommittedSets(uint64_t jobId) {
    auto db = JxServeOpenBackupSetStore();
    DiskLibrary media;
    const bool haveMedia = media.Open().IsSuccess();
    auto q = db->ExecQuerySetup({"SELECT id, database_name, backup_method FROM backup_sets WHERE code = ? AND "
                                 "job_id = ? AND published = 0 ORDER BY id",
                                 {kBackupSetRequest, static_cast<int64_t>(jobId)}});
    std::vector<int64_t> drop;
    std::vector<std::string> names;
    while (q->NextRow()) {
        const int64_t id = q->GetInt64Field(0);
        if (JxServeIsSnapshotMethod(q->GetInt64Field(2))) continue;
        if (haveMedia && Committed(media, ArchivesOf(*db, id))) continue;
        drop.push_back(id);
        const std::string name = q->GetStringField(1);
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    for (int64_t id : drop) {
        db->ExecDML({"DELETE FROM backup_set_archives WHERE set_id = ?", {id}});
        db->ExecDML({"DELETE FROM backup_set_files WHERE set_id = ?", {id}});
        db->ExecDML({"DELETE FROM backup_sets WHERE id = ?", {id}});
    }
    return names;
}

std::vector<std::vector<std::pair<uint32_t, uint64_t>>> JxServeStoredArchives(const std::string& databaseName) {
    auto db = JxServeOpenBackupSetStore();
    auto q = db->ExecQuerySetup({"SELECT id FROM backup_sets WHERE database_name = ? ORDER BY id", {databaseName}});
    std::vector<std::vector<std::pair<uint32_t, uint64_t>>> out;
    while (q->NextRow()) {
        std::vector<std::pair<uint32_t, uint64_t>> set;
        for (const StoredArchive& a : ArchivesOf(*db, q->GetInt64Field(0))) set.emplace_back(a.archiveFileId, a.offset);
        out.push_back(set);
    }
    return out;
}
