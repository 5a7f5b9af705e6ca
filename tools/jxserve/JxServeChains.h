// Which of a database's backups a restore needs, chosen the way the central
// server chooses them. A history is the database's backups in the order
// stored (JxServeBackupsOf); every chain comes back in the order its
// backups apply.
//
// A chain is a full backup, the newest differential on that full, and the
// log backups that carry them on. A differential goes only on the full it
// holds the changes since: its database backup LSN is that full's
// checkpoint LSN, so a copy-only full, which resets no differential base,
// never takes one. Sets stored without those LSNs (a test's set-up) are
// placed by position: after the full and before the next full.
//
// The logs follow the log, not the order the sets were stored in: a log job
// that finished while a data backup drained to the media is stored before
// that backup, yet holds the log after it. From the point the base restores
// to (a full's or differential's last LSN, a file backup's first LSN), the
// logs are taken by first LSN: each that ends above what is reached so far,
// once. A log that ends at or below it is left out (the engine refuses it as
// too early); logs after a gap are still sent, and refusing them is the
// engine's part. A log stored before its base is taken only when it ran
// beside it; logs without LSNs stay placed by position, after their base.
// Log backups run on across fulls, as SQL Server's log chain does.
//
// More than one full may begin the chain: the newest ordinary full, with its
// differential, and every copy-only full after it, with the logs after it.
// The chain sent is the one that reaches furthest. A chain reaches, walked
// from its full, the full's last LSN, then its differential's, then each
// log's while the log begins at or below what is reached (a log beginning
// above it, such as one that continues a restore ended at a differential,
// leaves a gap the engine would refuse; a log without a first LSN counts as
// continuing). Of chains that reach equally, the one with fewer backups;
// then the one on the newer full, which a revert relies on. Where a backup
// of the chains compared has no last LSN (a store older than the LSNs), the
// chain on the newest full is sent.
//
// File backups (F, file full; G, file differential) hold only some of the
// database's files: they are no step of a database's chain, only of a file
// or file-group restore's.
//
// Every chain keeps to one recovery path (JxServeRecoveryPaths.h): to the
// latest time, that of the backup that ended last; to a point, that of the
// backup that ended last by it (of those ending in one second, the one
// stored last). Until the new path's first backup is stored, the path a
// restore left is the newest.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/jxserve/JxServeRestoreStore.h"

// Whether the restore job can read `backup` through the virtual device: not
// a snapshot or VSS-style backup, which come back by revert only.
bool JxServeStreamRestorable(const JxServeBackup& backup);

// The chain for the state at `toTime` (0 = the latest), on the fulls that
// ended by then: each with the newest differential on it that ended by
// then, and the log backups after those up to the first one that reaches
// the to-time. To the latest, the chain that reaches the highest LSN; to a
// point, one that reaches it (the last backup within its reach ended at or
// after it), else the one that reaches the highest LSN. Snapshot sets stay
// in: a revert reads the same chain.
std::vector<JxServeBackup> JxServeChainAt(const std::vector<JxServeBackup>& history, uint64_t toTime);

// What follows a restore made at `restoredUpTo` (whole seconds: a backup
// that ended in that very second counts as restored): on one of the fulls
// that ended by then, its newest differential and the log backups, those
// of its latest chain that ended after that time. The full is chosen as
// for the latest state, by how far its latest chain reaches; a chain with
// nothing after the restore reaches nothing. Which full the database was
// restored from is not known here: a differential on another one is the
// engine's to refuse. With no full by then, the latest chain. A database
// whose newest backup by that time lies on a path the latest backups left
// gets the latest chain, from its full.
std::vector<JxServeBackup> JxServeChainAfter(const std::vector<JxServeBackup>& history, uint64_t restoredUpTo);

// The chain of a file or file-group restore of `names` (file groups or
// logical file names) at `toTime`, as JxServeChainAt but on backups the job
// can read that hold every name: a full or file full, a differential or
// file differential on it, then the logs that carry them on.
std::vector<JxServeBackup> JxServeFileGroupChain(const std::vector<JxServeBackup>& history, uint64_t toTime,
                                                 const std::vector<std::string>& names);

// What a live-sync standby restored up to `restoredLsn` (empty: nothing yet)
// by a backup that began at `restoredFirstLsn` (empty: not known) takes
// next, in the order to apply: the logs that carry it on from that LSN, and
// nothing else. Where no log does (nothing restored yet, a gap, a broken log
// chain, a last restore on a recovery path the latest backups left), one
// cycle on the latest path: the newest full that is neither copy-only nor a
// snapshot, its newest differential that is no snapshot, and the logs that
// carry them on; unless that cycle would take the standby back, when the
// logs after the gap are sent for the engine to refuse. A standby never
// takes a differential without its full, nor a file backup.
std::vector<JxServeBackup> JxServeLiveSyncChain(const std::vector<JxServeBackup>& history,
                                                const std::string& restoredLsn,
                                                const std::string& restoredFirstLsn = "");
