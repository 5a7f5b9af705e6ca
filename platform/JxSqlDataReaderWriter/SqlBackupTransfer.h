// The backup and restore transfers of the data pipeline: each stream of the
// engine moved to or from its archive file on a thread of its own.
#pragma once

#include <cstdint>
#include <memory>

#include "JxSqlDataReaderWriter/SqlTransferState.h"

class DiskLibrary;

// Opens the job's archive file of `stream` (1-based) unless it is open;
// called with the state's lock held. On failure the state's lastError says
// why and stopJob is set.
bool SqlOpenArchiveStream(SqlTransferState& state, DiskLibrary& library, int stream);

// Both run the whole transfer and return whether every stream was moved.
// On failure the engine's statement has been ended with the reason, which
// the state's lastError also holds.
bool SqlRunBackupTransfer(const std::shared_ptr<SqlTransferState>& state);
bool SqlRunRestoreTransfer(const std::shared_ptr<SqlTransferState>& state);
// Cuts the archive file back to `offset`, where the piece of a failed
// transfer began.
void SqlDropFailedPiece(SqlTransferState::ArchiveStream& a, uint64_t offset);
// Finishes and closes the job's archive files: what was not committed is
// reclaimed (see DiskLibrary). False when a close failed.
bool SqlFinishArchiveFiles(SqlTransferState& st);
// Syncs the archive files and commits the pending pieces with the restart
// string.
bool SqlCommitPending(SqlTransferState& state);
