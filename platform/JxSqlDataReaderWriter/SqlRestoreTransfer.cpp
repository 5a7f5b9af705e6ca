// The restore transfer (placeholder).
#include "JxSqlDataReaderWriter/SqlBackupTransfer.h"
#include "JxSqlDataReaderWriter/SqlTransferState.h"

bool SqlRunRestoreTransfer(const std::shared_ptr<SqlTransferState>& st) {
    std::lock_guard<std::mutex> lock(st->mutex);
    st->lastError = "Restore is not available yet.";
    return false;
}
