// Which of a database's backups a restore needs, chosen the way the central
// server chooses them. A history is the database's backups in the order
// stored (JxServeBackupsOf); every chain comes back oldest first.
//
// A chain is a full backup, the newest differential on that full, and the
// log backups after them. A differential goes only on the full it holds the
// changes since: its database backup LSN is that full's checkpoint LSN, so a
// copy-only full, which resets no differential base, never takes one. Sets
// stored without those LSNs (a test's set-up) are placed by position: after
// the full and before the next full. Log backups run on across fulls, as
// SQL Server's log chain does, and are passed on as stored, gaps included:
// refusing a broken chain is SQL Server's part.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/jxserve/JxServeRestoreStore.h"

// Whether the restore job can read `backup` through the virtual device: not
// a snapshot or VSS-style backup, which come back by revert only.
bool JxServeStreamRestorable(const JxServeBackup& backup);

// The chain for the state at `toTime` (0 = the latest): the newest full
// that ended by then, the newest differential on it that ended by then, and
// the log backups after those up to the first one that reaches the to-time.
// Snapshot sets stay in: a revert reads the same chain.
std::vector<JxServeBackup> JxServeChainAt(const std::vector<JxServeBackup>& history, uint64_t toTime);

// What follows a restore made at `restoredUpTo` (whole seconds: a backup
// that ended in that very second counts as restored): on the newest full
// that ended by then, its newest differential and the log backups that
// ended after that time. With no full by then, the latest chain.
std::vector<JxServeBackup> JxServeChainAfter(const std::vector<JxServeBackup>& history, uint64_t restoredUpTo);

// The chain of a file or file-group restore of `names` (file groups or
// logical file names) at `toTime`, as JxServeChainAt but on backups the job
// can restore: the newest full it can read that holds every name, its
// newest differential it can read, then the logs.
std::vector<JxServeBackup> JxServeFileGroupChain(const std::vector<JxServeBackup>& history, uint64_t toTime,
                                                 const std::vector<std::string>& names);

// What a live-sync standby restored up to `restoredLsn` (empty: nothing yet)
// takes next, in the order stored: every backup whose last LSN is beyond
// it, but for snapshot sets (the logs after a snapshot full continue the
// chain the standby has), a differential on a snapshot full, and copy-only
// fulls (the standby goes on by its logs).
std::vector<JxServeBackup> JxServeLiveSyncChain(const std::vector<JxServeBackup>& history,
                                                const std::string& restoredLsn);
