// CSQLBackup: the older (version-3) backup-set record, and the archive
// entries of VSS-style backups.
//
// The version-3 record is built from the flat backup-set description of an
// engine (JxSQLBackupSetInfo and its file list) rather than from backup
// metadata, and carries no media metadata and no commit. A VSS-style backup
// writes whole files into the archive files of its streams, so its record
// names every file with the archive file and the offset of its data, as the
// stream's writer (SqlVSSDataWriter) recorded them.
#include <charconv>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "JxSQLCommon/backup/BackupSetInfoOwner.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlBackupSetRecords.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLVDIBase/CJxSQLVDIBase.h"
#include "JxSqlDataReaderWriter/SqlVSSDataWriter.h"
#include "WzUtils/FXString.h"

namespace {

constexpr uint32_t kApplicationTypeSql = 81;
constexpr uint32_t kMethodVdi = 0;
constexpr uint32_t kMethodVss = 1;

// A number the engine gives as text, read as atoi reads it (leading blanks,
// then digits; no digits gives 0). False when it does not fit 32 bits.
bool ReadNumber(const std::string& text, uint32_t& value) {
    const size_t start = text.find_first_not_of(" \t");
    value = 0;
    if (start == std::string::npos) return true;
    const char* first = text.data() + start;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (error == std::errc::invalid_argument) value = 0;
    return error != std::errc::result_out_of_range;
}

// The job's own fields of a record.
struct JobFields {
    uint64_t databaseId;
    uint64_t applicationNumber;
    uint64_t instanceId;
    uint64_t jobId;
    bool logFromFileSystem;
};

// Fills the record from the engine's description of the backup set and its
// files; false (logged) when the name or an LSN is missing or a number is
// unreadable. `vssNames` picks the file lines of the VSS-style record.
bool FillVersion3Record(SQLBackupSetInfoReq_VER3_t& r, const JxSQLBackupSetInfo& info,
                        const std::list<JxSQLBackupFileInfo>& files, const JobFields& job, uint32_t method,
                        bool vssNames, EvEvent& log) {
    if (info.databaseName.empty() || info.firstLSN.empty() || info.lastLSN.empty() || info.checkpointLSN.empty() ||
        info.databaseBackupLSN.empty()) {
        EV_ERROR(log,
                 "Error: Empty data found in JxSQLBAckupSetInfo sDbName %s, firstLSN %s, lastLSN %s, checkpointLSN "
                 "%s, backupLSN %s .",
                 info.databaseName.c_str(), info.firstLSN.c_str(), info.lastLSN.c_str(), info.checkpointLSN.c_str(),
                 info.databaseBackupLSN.c_str());
        return false;
    }
    if (!ReadNumber(info.startDate, r.startDate) || !ReadNumber(info.finishDate, r.finishDate) ||
        !ReadNumber(info.value3, r.metadataValue5)) {
        EV_ERROR(log, "The backup set of database [%s] holds a number out of range: [%s], [%s], [%s].",
                 info.databaseName.c_str(), info.startDate.c_str(), info.finishDate.c_str(), info.value3.c_str());
        return false;
    }
    r.metadataValue1 = info.value1;
    r.databaseId = static_cast<uint32_t>(job.databaseId);
    r.metadataValue2 = info.value4;
    r.metadataValue3 = info.value5;
    r.metadataValue4 = info.value6;
    r.applicationNumber = static_cast<uint32_t>(job.applicationNumber);
    r.instanceId = static_cast<uint32_t>(job.instanceId);
    r.applicationType = kApplicationTypeSql;
    r.metadataValue64 = info.value64;
    r.firstLsn = CopyRequestText(info.firstLSN);
    r.lastLsn = CopyRequestText(info.lastLSN);
    r.checkpointLsn = CopyRequestText(info.checkpointLSN);
    r.databaseBackupLsn = CopyRequestText(info.databaseBackupLSN);
    r.databaseName = CopyRequestText(info.databaseName);
    EV_DEBUG(log, 2, "req.dbName : %s", r.databaseName);
    r.backupType = CopyRequestText(info.backupType);
    r.unused20 = CopyRequestText(info.deviceName);
    r.copyOnly = info.copyOnly;
    r.backupMethod = method;
    r.jobId = static_cast<uint32_t>(job.jobId);
    r.logFromFileSystem = job.logFromFileSystem ? 1 : 0;

    r.files = files.empty() ? nullptr : new JXSQLBackupFileInfo_V1_t[files.size()];
    r.fileCount = static_cast<uint32_t>(files.size());
    size_t i = 0;
    for (const JxSQLBackupFileInfo& file : files) {
        JXSQLBackupFileInfo_V1_t& entry = r.files[i++];
        entry.physicalName = CopyRequestText(FXString::ToString(file.physicalName));
        entry.logicalName = CopyRequestText(FXString::ToString(file.logicalName));
        entry.filegroupName = CopyRequestText(FXString::ToString(file.fileGroupName));
        if (vssNames) {
            EV_DEBUG(log, 2, "Physical filename : %s", entry.physicalName);
            EV_DEBUG(log, 2, "Logical filename : %s", entry.logicalName);
            EV_DEBUG(log, 2, "File Group Name: %s", entry.filegroupName);
        } else {
            EV_DEBUG(log, 2, "PHYSICAL FILE NAME : %s", entry.physicalName);
            EV_DEBUG(log, 2, "LOGICAL FILE NAME : %s", entry.logicalName);
            EV_DEBUG(log, 2, "FILEGROUP NAME : %s", entry.filegroupName);
        }
        entry.fileNumber = file.fileNumber;
        entry.fileType = file.fileType;
        entry.fileSize = file.fileSize;
    }
    return true;
}

// One file's data in the archive file of a stream.
struct FileArchiveEntry {
    ArchiveFileId_t id;
    uint64_t offset;
    std::string file;
    bool fileStream;  // the file lies in a FILESTREAM folder of the database
};

JXSQLBackupArchiveInfo_VER1_t* ToArchiveArray(const std::vector<FileArchiveEntry>& entries, uint32_t& groupId) {
    auto* archives = new JXSQLBackupArchiveInfo_VER1_t[entries.size()];
    for (size_t i = 0; i < entries.size(); ++i) {
        archives[i].jxCellId = entries[i].id.jxCellId;
        archives[i].archiveFileId = entries[i].id.archiveFileId;
        archives[i].offset = entries[i].offset;
        groupId = entries[i].id.archiveGroupId;  // the last stream's stands
    }
    return archives;
}

}  // namespace

bool CSQLBackup::updateBackupSetInfo(CJxSQLVDIBase* vdi, int* errorCode) {
    if (errorCode != nullptr) *errorCode = 0;
    if (vdi == nullptr) {
        EV_ERROR(m_logger, "No VDI session to take the backup set from.");
        return false;
    }
    JxSQLBackupSetInfo info = vdi->getBackupSetInfo();
    info.method = 0;
    SQLBackupSetInfoReq_VER3_t request;
    BackupSetInfoOwner owner(request);
    const JobFields job{m_currentDatabaseId, m_appNumber, m_instanceId, m_jobId, m_bLogFromFileSystem};
    if (!FillVersion3Record(request, info, vdi->getBackupFileList(), job, kMethodVdi, false, m_logger)) return false;

    // The archive entries of the streams, as the newer record takes them.
    SQLBackupSetInfoReq_VER5_t streams;
    SQLPmn::SQLBackupDatabaseMediaMetaInfo unused;
    const bool archived = setAfileInfoToRequestForVDI(streams, unused);
    request.archives = streams.archives;
    request.archiveCount = streams.archiveCount;
    request.archiveGroupId = streams.archiveGroupId;
    streams.archives = nullptr;
    if (!archived) {
        EV_ERROR(m_logger, "The archive files of database [%s] are not known; its backup set is not sent.",
                 request.databaseName);
        return false;
    }
    CSQLClientDll requester;
    requester.getDataBuffer()->setExternalBuffer(&request, sizeof request);
    EV_DEBUG(m_logger, 1, "Sending message to CS");
    return requester.updateBackupSetInfo(errorCode);
}

bool CSQLBackup::updateVSSBackupSetInfo(const JxSQLBackupSetInfo& setInfo, const std::list<JxSQLBackupFileInfo>& files,
                                        int* errorCode) {
    if (errorCode != nullptr) *errorCode = 0;
    SQLBackupSetInfoReq_VER3_t request;
    BackupSetInfoOwner owner(request);
    const JobFields job{m_currentDatabaseId, m_appNumber, m_instanceId, m_jobId, m_bLogFromFileSystem};
    if (!FillVersion3Record(request, setInfo, files, job, kMethodVss, true, m_logger)) return false;

    std::vector<FileArchiveEntry> entries;
    for (const auto& [stream, writer] : m_vssStreamWriters) {
        if (writer == nullptr) {
            EV_ERROR(m_logger, "The backup has no writer for stream [%d].", stream);
            return false;
        }
        for (const auto& [file, offset] : writer->getoffSetFileMap()) {
            entries.push_back({writer->getArchiveFileId(), offset, file, false});
        }
    }
    if (entries.empty()) {
        // A record without archive files could never be restored.
        EV_ERROR(m_logger, "No stream of the backup holds data of database [%s]; its backup set is not sent.",
                 request.databaseName);
        return false;
    }
    request.archives = ToArchiveArray(entries, request.archiveGroupId);
    request.archiveCount = static_cast<uint32_t>(entries.size());
    CSQLClientDll requester;
    requester.getDataBuffer()->setExternalBuffer(&request, sizeof request);
    EV_DEBUG(m_logger, 1, "Sending message to CS");
    return requester.updateBackupSetInfo(errorCode);
}

bool CSQLBackup::setAfileInfoToRequestForVSS(SQLBackupSetInfoReq_VER5_t& request,
                                             SQLPmn::SQLBackupDatabaseMediaMetaInfo& media,
                                             std::vector<SqlDatabaseFiles_t>& files) {
    if (m_vssStreamWriters.empty()) {
        EV_ERROR(m_logger, "The backup has no stream writers to take the archive files from.");
        return false;
    }
    std::vector<FileArchiveEntry> entries;
    std::vector<bool> found(files.size(), false);
    for (const auto& [stream, writer] : m_vssStreamWriters) {
        if (writer == nullptr) {
            EV_ERROR(m_logger, "The backup has no writer for stream [%d].", stream);
            return false;
        }
        const std::map<std::string, uint64_t>& offsets = writer->getoffSetFileMap();
        for (size_t i = 0; i < files.size(); ++i) {
            const std::string& name = files[i].fileName;
            if (files[i].isDirectory == 0) {
                const auto it = offsets.find(name);
                if (it == offsets.end()) continue;
                entries.push_back({writer->getArchiveFileId(), it->second, name, false});
                found[i] = true;
                continue;
            }
            // A FILESTREAM folder: the files the stream wrote from under it.
            std::string folder = name;
            while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
            folder += '/';
            for (auto it = offsets.lower_bound(folder); it != offsets.end() && it->first.starts_with(folder); ++it) {
                entries.push_back({writer->getArchiveFileId(), it->second, it->first, true});
            }
            found[i] = true;  // an empty folder has nothing to name
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (!found[i]) {
            // The record would name a backup that cannot give the file back.
            EV_ERROR(m_logger, "No stream of the backup holds database file [%s].", files[i].fileName.c_str());
            return false;
        }
    }
    if (entries.empty()) {
        EV_ERROR(m_logger, "No stream of the backup holds data of the database.");
        return false;
    }
    request.archives = ToArchiveArray(entries, request.archiveGroupId);
    request.archiveCount = static_cast<uint32_t>(entries.size());
    using A = SQLPmn::SQLBackupDatabaseArchiveMetaInfo;
    for (const FileArchiveEntry& entry : entries) {
        EV_DEBUG(m_logger, 2, "Adding file info as file [%s], AFile [%u], FsFlag [%d] & Offset [%llu].",
                 entry.file.c_str(), entry.id.archiveFileId, entry.fileStream ? 1 : 0,
                 static_cast<unsigned long long>(entry.offset));
        A archive;
        archive.setint64(A::kJxCellId, entry.id.jxCellId);
        archive.setint64(A::kArchiveFileId, entry.id.archiveFileId);
        archive.setint64(A::kOffset, static_cast<int64_t>(entry.offset));
        media.addlistobject(SQLPmn::SQLBackupDatabaseMediaMetaInfo::kArchives, archive);
    }
    media.setint64(SQLPmn::SQLBackupDatabaseMediaMetaInfo::kArchiveGroupId, request.archiveGroupId);
    return true;
}
