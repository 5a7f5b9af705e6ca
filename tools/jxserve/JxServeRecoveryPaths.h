// Which stored backups lie on a database's recovery path. A restore that
// stops anywhere but at the end of the database's newest backup starts a new
// recovery path; the LSNs of the new path overlap those of the path it left,
// so backups of two paths are never put in one chain. Each backup carries
// its path's id, the id of the path that one forked from and the fork LSN
// (the new path's first LSN); the backups of the parent path that ended by
// the fork LSN belong to the new path too, and so on up.
//
// Backups stored without a path id (taken before paths were carried) fit
// every path, as they did before.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/jxserve/JxServeRestoreStore.h"

class JxServeRecoveryPathScope {
public:
    // The scope of recovery path `path` (empty: every backup fits), learning
    // each path's parent and fork LSN from the backups of `known` that carry
    // them.
    JxServeRecoveryPathScope(const std::vector<JxServeBackup>& known, const std::string& path);

    // Whether a backup on `path` that ended at `lastLsn` lies on the scope's path.
    bool Holds(const std::string& path, const std::string& lastLsn) const;
    bool Holds(const JxServeBackup& backup) const { return Holds(backup.recoveryPath, backup.lastLsn); }

private:
    bool m_everything = false;
    // Path id -> the highest last LSN taken from it ("" for no limit).
    std::map<std::string, std::string> m_limits;
};

// The backups of `history` on the recovery path of its backup at `anchor`
// (all of them when that backup carries no path, or `anchor` is out of range).
std::vector<JxServeBackup> JxServeOnPathOf(const std::vector<JxServeBackup>& history, size_t anchor);
