// The recovery-path scope of the central server's stand-in.
#include "tools/jxserve/JxServeRecoveryPaths.h"

#include <algorithm>
#include <iterator>

#include "tools/jxserve/JxServeLsn.h"

JxServeRecoveryPathScope::JxServeRecoveryPathScope(const std::vector<JxServeBackup>& known, const std::string& path) {
    m_everything = path.empty();
    std::string limit;  // none yet
    for (std::string at = path; !at.empty() && m_limits.count(at) == 0;) {
        m_limits[at] = limit;
        auto forked = std::find_if(known.begin(), known.end(), [&](const JxServeBackup& b) {
            return b.recoveryPath == at && !b.forkedFromPath.empty() && !b.forkLsn.empty();
        });
        if (forked == known.end()) break;
        if (limit.empty() || JxServeLsnBelow(forked->forkLsn, limit)) limit = forked->forkLsn;
        at = forked->forkedFromPath;
    }
}

bool JxServeRecoveryPathScope::Holds(const std::string& path, const std::string& lastLsn) const {
    if (m_everything || path.empty()) return true;
    auto found = m_limits.find(path);
    if (found == m_limits.end()) return false;
    return found->second.empty() || !JxServeLsnBelow(found->second, lastLsn);
}

std::vector<JxServeBackup> JxServeOnPathOf(const std::vector<JxServeBackup>& history, size_t anchor) {
    if (anchor >= history.size()) return history;
    const JxServeRecoveryPathScope scope(history, history[anchor].recoveryPath);
    std::vector<JxServeBackup> onPath;
    std::copy_if(history.begin(), history.end(), std::back_inserter(onPath),
                 [&](const JxServeBackup& b) { return scope.Holds(b); });
    return onPath;
}
