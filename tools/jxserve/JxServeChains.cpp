// The stand-in's restore chains (see JxServeChains.h).
#include "tools/jxserve/JxServeChains.h"

#include <strings.h>

#include <algorithm>

#include "tools/jxserve/JxServeBackupSets.h"
#include "tools/jxserve/JxServeLsn.h"

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

bool IsFull(const JxServeBackup& b) { return b.backupType == 'D'; }
bool IsDifferential(const JxServeBackup& b) { return b.backupType == 'I'; }
bool IsLog(const JxServeBackup& b) { return b.backupType == 'L'; }

// Whether the differential at `d` of the history holds the changes since the
// full at `f`.
bool OnFull(const std::vector<JxServeBackup>& history, size_t f, size_t d) {
    const JxServeBackup& full = history[f];
    const JxServeBackup& diff = history[d];
    if (d <= f) return false;
    if (!full.checkpointLsn.empty() && !diff.databaseBackupLsn.empty()) {
        return JxServeSameLsn(full.checkpointLsn, diff.databaseBackupLsn);
    }
    for (size_t i = f + 1; i < d; ++i) {
        if (IsFull(history[i])) return false;
    }
    return true;
}

// The position of the newest backup whose position `fits`; kNone when none does.
template <typename Fits>
size_t Newest(const std::vector<JxServeBackup>& history, Fits fits) {
    size_t found = kNone;
    for (size_t i = 0; i < history.size(); ++i) {
        if (fits(i)) found = i;
    }
    return found;
}

// The chain at `toTime` on the newest full that `fullFits`, with the newest
// differential on it that `diffFits`.
template <typename FullFits, typename DiffFits>
std::vector<JxServeBackup> Chain(const std::vector<JxServeBackup>& history, uint64_t toTime, FullFits fullFits,
                                 DiffFits diffFits) {
    auto endedBy = [toTime](const JxServeBackup& b) { return toTime == 0 || b.endTime <= toTime; };
    const size_t full =
        Newest(history, [&](size_t i) { return IsFull(history[i]) && endedBy(history[i]) && fullFits(history[i]); });
    if (full == kNone) return {};
    std::vector<JxServeBackup> chain{history[full]};
    size_t base = full;
    const size_t diff = Newest(history, [&](size_t i) {
        return IsDifferential(history[i]) && endedBy(history[i]) && diffFits(history[i]) && OnFull(history, full, i);
    });
    if (diff != kNone) {
        chain.push_back(history[diff]);
        base = diff;
    }
    for (size_t i = base + 1; i < history.size(); ++i) {
        if (!IsLog(history[i])) continue;
        chain.push_back(history[i]);
        if (toTime != 0 && history[i].endTime >= toTime) break;  // this log reaches the to-time
    }
    return chain;
}

bool Named(const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return strcasecmp(n.c_str(), name.c_str()) == 0; });
}

}  // namespace

bool JxServeStreamRestorable(const JxServeBackup& backup) {
    const uint64_t method = backup.word10;
    return backup.vssFlag == 0 && method != 1 && method != 2 && method != 3 && method != 5;
}

std::vector<JxServeBackup> JxServeChainAt(const std::vector<JxServeBackup>& history, uint64_t toTime) {
    auto any = [](const JxServeBackup&) { return true; };
    return Chain(history, toTime, any, any);
}

std::vector<JxServeBackup> JxServeChainAfter(const std::vector<JxServeBackup>& history, uint64_t restoredUpTo) {
    auto endedAfter = [restoredUpTo](const JxServeBackup& b) { return b.endTime > restoredUpTo; };
    const size_t full = Newest(history, [&](size_t i) { return IsFull(history[i]) && !endedAfter(history[i]); });
    if (full == kNone) return JxServeChainAt(history, 0);
    std::vector<JxServeBackup> chain;
    size_t base = full;
    const size_t diff = Newest(history, [&](size_t i) {
        return IsDifferential(history[i]) && endedAfter(history[i]) && OnFull(history, full, i);
    });
    if (diff != kNone) {
        chain.push_back(history[diff]);
        base = diff;
    }
    for (size_t i = base + 1; i < history.size(); ++i) {
        if (IsLog(history[i]) && endedAfter(history[i])) chain.push_back(history[i]);
    }
    return chain;
}

std::vector<JxServeBackup> JxServeFileGroupChain(const std::vector<JxServeBackup>& history, uint64_t toTime,
                                                 const std::vector<std::string>& names) {
    // A name is a file group or a data file; a backup whose data files are
    // not known (a name it lacks as a group may still be a file's) is taken
    // to hold them all.
    auto holdsAll = [&](const JxServeBackup& b) {
        return b.dataFiles.empty() || std::all_of(names.begin(), names.end(), [&](const std::string& name) {
                   return Named(b.fileGroups, name) || Named(b.dataFiles, name);
               });
    };
    return Chain(
        history, toTime, [&](const JxServeBackup& b) { return JxServeStreamRestorable(b) && holdsAll(b); },
        JxServeStreamRestorable);
}

std::vector<JxServeBackup> JxServeLiveSyncChain(const std::vector<JxServeBackup>& history,
                                                const std::string& restoredLsn) {
    auto snapshot = [](const JxServeBackup& b) { return JxServeIsSnapshotMethod(static_cast<int64_t>(b.word10)); };
    std::vector<JxServeBackup> chain;
    for (size_t i = 0; i < history.size(); ++i) {
        const JxServeBackup& b = history[i];
        if (snapshot(b) || (IsFull(b) && b.copyOnly)) continue;
        if (IsDifferential(b)) {
            const size_t full = Newest(history, [&](size_t f) { return IsFull(history[f]) && OnFull(history, f, i); });
            if (full != kNone && snapshot(history[full])) continue;
        }
        if (restoredLsn.empty() || JxServeLsnBelow(restoredLsn, b.lastLsn)) chain.push_back(b);
    }
    return chain;
}
