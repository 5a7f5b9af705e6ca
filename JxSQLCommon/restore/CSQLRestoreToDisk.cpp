// CSQLRestoreBase: one backup's restore to disk: the pipeline writes the
// backup's streams to the dump location instead of into SQL Server.
#include <exception>
#include <list>
#include <string>

#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/RestoreArchiveList.h"
#include "JxSQLCommon/restore/SqlServerRestoreDirectory.h"

bool CSQLRestoreBase::restoreVDIBackupToDisk(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup) {
    const char type = static_cast<char>(backup.backupType);
    if (type != '\0' && m_skipBackupTypes.find(type) != std::string::npos) {
        EV_INFO(m_logger, "Skipping backup of type [%c]", type);
        return true;
    }
    // The location comes from the restore task: the pipeline writes below it.
    if (!SqlServerRestoreDirectory::IsAcceptablePath(m_dumpLocation)) {
        EV_ERROR(m_logger, "Restore to disk location [%s] is not an absolute path without \"..\" levels.",
                 m_dumpLocation.c_str());
        return false;
    }
    bool result = false;
    try {
        m_dataTransferHandler.setRestoreToDisk(true);
        m_dataTransferHandler.setRestoreToDiskPath(m_dumpLocation);
        m_dataTransferHandler.setBkpType(static_cast<int>(backup.backupType));
        m_dataTransferHandler.setDbName(TargetName(db));
        m_dataTransferHandler.setStreams(static_cast<int>(backup.archiveFiles.size()));
        m_dataTransferHandler.setRestoreArchiveFileInfoList(
            RestoreArchiveListOf(backup, m_restoreOptions, m_dataTransferHandler.getIgnoreArchiveFileOffset()));
        result = transferData();
        if (!result) {
            EV_ERROR(m_logger, "Data transfer failed.");
        } else {
            const uint64_t bytes = m_dataTransferHandler.getBytesTransferred();
            m_bytesRestored += bytes;
            EV_INFO(m_logger, "Bytes restored for db = %llu", static_cast<unsigned long long>(bytes));
        }
    } catch (const std::exception& e) {
        EV_ERROR(m_logger, "Caught Exception [%s]", e.what());
        result = false;
    }
    if (!TransferLeftRunning()) {  // a transfer that was let go keeps the handler
        m_dataTransferHandler.removeDataReaderWriters();
        m_dataTransferHandler.reset();
    }
    return result;
}
