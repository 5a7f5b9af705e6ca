// The backup and restore transfers of the data pipeline: each stream of the
// engine moved to or from its archive file on a thread of its own.
#pragma once

#include <memory>

class DiskLibrary;
struct SqlTransferState;

// Opens the job's archive file of `stream` (1-based) unless it is open;
// called with the state's lock held. On failure the state's lastError says
// why and stopJob is set.
bool SqlOpenArchiveStream(SqlTransferState& state, DiskLibrary& library, int stream);

// Both run the whole transfer and return whether every stream was moved.
// On failure the engine's statement has been ended with the reason, which
// the state's lastError also holds.
bool SqlRunBackupTransfer(const std::shared_ptr<SqlTransferState>& state);
bool SqlRunRestoreTransfer(const std::shared_ptr<SqlTransferState>& state);
// Syncs the archive files and commits the pending pieces with the restart
// string.
bool SqlCommitPending(SqlTransferState& state);
