// The stand-in's restore chains (see JxServeChains.h).
#include "tools/jxserve/JxServeChains.h"

#include <strings.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

#include "tools/jxserve/JxServeBackupSets.h"
#include "tools/jxserve/JxServeLsn.h"
#include "tools/jxserve/JxServeRecoveryPaths.h"

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

bool IsFull(const JxServeBackup& b) { return b.backupType == 'D'; }
bool IsDifferential(const JxServeBackup& b) { return b.backupType == 'I'; }
bool IsLog(const JxServeBackup& b) { return b.backupType == 'L'; }
bool IsFileFull(const JxServeBackup& b) { return b.backupType == 'F'; }
bool IsFileDifferential(const JxServeBackup& b) { return b.backupType == 'G'; }

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

// Positions in the history, oldest first.
using Positions = std::vector<size_t>;

// The fulls a chain may begin with, oldest first: the newest ordinary full
// that `fits`, and every copy-only full after it that fits (none of them
// takes a differential, but the logs after one may reach further).
template <typename Fits>
Positions CandidateFulls(const std::vector<JxServeBackup>& history, Fits fits) {
    const size_t ordinary = Newest(history, [&](size_t i) { return fits(history[i]) && !history[i].copyOnly; });
    Positions fulls;
    for (size_t i = ordinary == kNone ? 0 : ordinary; i < history.size(); ++i) {
        if (fits(history[i]) && (i == ordinary || history[i].copyOnly)) fulls.push_back(i);
    }
    return fulls;
}

// The LSN a chain's base restores the database to: a full's or a
// differential's last LSN; a file backup's (file full or file
// differential) first LSN, as it carries no log and every log from its
// start on is needed after it.
const std::string& PointOf(const JxServeBackup& base) {
    return IsFileFull(base) || IsFileDifferential(base) ? base.firstLsn : base.lastLsn;
}

// Whether the log at `log` of the history may follow the backup at `base`
// (kNone: any backup). A log stored after it may; one stored before it only
// when the log ran beside it (ended at or after it began) and carries the
// LSNs that place it: a log job that finished while a data backup drained
// to the media is stored first, though it holds the log after that backup.
// A log of an older generation (a dropped database's, a set stored without
// a recovery path) ended before the base began.
bool MayFollow(const std::vector<JxServeBackup>& history, size_t log, size_t base) {
    if (base == kNone || log > base) return true;
    const JxServeBackup& l = history[log];
    const JxServeBackup& b = history[base];
    return !l.firstLsn.empty() && !l.lastLsn.empty() && l.endTime >= b.startTime;
}

// The logs that carry the database on from `reached` (an LSN; empty: not
// known), after the backup at `base` (see MayFollow), in the order they
// apply: by first LSN, ties in the order stored (a log whose first LSN is
// not known, from a store older than the LSNs, comes first). A log that ends at or below
// what is reached so far carries nothing past it (a copy-only log beside
// the schedule's, an empty log, a log stored twice, one that finished before
// its base's data read did) and is left out; the engine would refuse it as
// too early. A gap does not stop the walk: the logs after it are still
// sent, for the engine to refuse the first one. To a point (`toTime` not 0)
// the walk ends with the first log that reaches it.
Positions LogsOnFrom(const std::vector<JxServeBackup>& history, size_t base, std::string reached, uint64_t toTime) {
    Positions logs;
    for (size_t i = 0; i < history.size(); ++i) {
        if (IsLog(history[i]) && MayFollow(history, i, base)) logs.push_back(i);
    }
    std::stable_sort(logs.begin(), logs.end(),
                     [&](size_t a, size_t b) { return JxServeLsnBelow(history[a].firstLsn, history[b].firstLsn); });
    Positions taken;
    for (size_t i : logs) {
        const JxServeBackup& log = history[i];
        if (!reached.empty() && !log.lastLsn.empty() && !JxServeLsnBelow(reached, log.lastLsn)) continue;
        taken.push_back(i);
        if (!log.lastLsn.empty()) reached = log.lastLsn;
        if (toTime != 0 && log.endTime >= toTime) break;  // this log reaches the to-time
    }
    return taken;
}

// The chain at `toTime` (0 = the latest) on the full at `full`: it, the
// newest differential on it that ended by then and `diffFits`, and the log
// backups that carry those on (LogsOnFrom) up to the first one that reaches
// the to-time.
template <typename DiffFits>
Positions ChainOn(const std::vector<JxServeBackup>& history, size_t full, uint64_t toTime, DiffFits diffFits) {
    auto endedBy = [toTime](const JxServeBackup& b) { return toTime == 0 || b.endTime <= toTime; };
    Positions chain{full};
    size_t base = full;
    const size_t diff = Newest(history, [&](size_t i) {
        return diffFits(history[i]) && endedBy(history[i]) && OnFull(history, full, i);
    });
    if (diff != kNone) {
        chain.push_back(diff);
        base = diff;
    }
    const Positions logs = LogsOnFrom(history, base, PointOf(history[base]), toTime);
    chain.insert(chain.end(), logs.begin(), logs.end());
    return chain;
}

// A chain that may be sent: its backups, and how far the chain on its full
// restores the database (the last LSN reached and the end time of the
// backup that reaches it; nothing for a chain with nothing to send).
struct Candidate {
    Positions sent;
    std::string reachedLsn;
    uint64_t reachedTime = 0;
    bool lsnsKnown = true;  // every backup it was measured by has a last LSN
};

// `sent`, measured by the chain `walked` (oldest first, from its full): the
// full and its differential reach their last LSNs, each log after them its
// own while it begins at or below what is reached. A log that begins above
// leaves a gap the engine stops at; one without a first LSN continues.
Candidate Measured(const std::vector<JxServeBackup>& history, Positions sent, const Positions& walked) {
    Candidate c;
    c.sent = std::move(sent);
    for (size_t i : walked) c.lsnsKnown = c.lsnsKnown && !history[i].lastLsn.empty();
    if (c.sent.empty()) return c;
    for (size_t k = 0; k < walked.size(); ++k) {
        const JxServeBackup& b = history[walked[k]];
        if (k > 0 && IsLog(b) && !b.firstLsn.empty() && JxServeLsnBelow(c.reachedLsn, b.firstLsn)) break;
        c.reachedLsn = b.lastLsn;
        c.reachedTime = b.endTime;
    }
    return c;
}

// The backups of the candidate that reaches furthest to `toTime` (0 = the
// latest), given oldest full first. To the latest: the highest LSN reached;
// to a point: one whose reach ends at or after it, else the highest LSN
// reached. Equal so far: fewer backups, then the newer full. When a
// backup's LSN is not known, the newest full's, as before LSNs were kept.
std::vector<JxServeBackup> Furthest(const std::vector<JxServeBackup>& history,
                                    const std::vector<Candidate>& candidates, uint64_t toTime) {
    if (candidates.empty()) return {};
    const Candidate* best = &candidates.back();
    const bool lsnsKnown =
        std::all_of(candidates.begin(), candidates.end(), [](const Candidate& c) { return c.lsnsKnown; });
    if (lsnsKnown) {
        auto reachesPoint = [toTime](const Candidate& c) {
            return toTime != 0 && !c.sent.empty() && c.reachedTime >= toTime;
        };
        best = &candidates.front();
        for (const Candidate& c : candidates) {
            if (reachesPoint(c) != reachesPoint(*best)) {
                if (reachesPoint(c)) best = &c;
            } else if (!reachesPoint(c) && !JxServeSameLsn(c.reachedLsn, best->reachedLsn)) {
                if (JxServeLsnBelow(best->reachedLsn, c.reachedLsn)) best = &c;
            } else if (c.sent.size() <= best->sent.size()) {
                best = &c;
            }
        }
    }
    std::vector<JxServeBackup> chain;
    for (size_t i : best->sent) chain.push_back(history[i]);
    return chain;
}

// The chain at `toTime` that reaches furthest among those on the fulls that
// `fullFits` (see CandidateFulls), with differentials that `diffFits`.
template <typename FullFits, typename DiffFits>
std::vector<JxServeBackup> Chain(const std::vector<JxServeBackup>& history, uint64_t toTime, FullFits fullFits,
                                 DiffFits diffFits) {
    std::vector<Candidate> candidates;
    const Positions fulls = CandidateFulls(
        history, [&](const JxServeBackup& b) { return fullFits(b) && (toTime == 0 || b.endTime <= toTime); });
    for (size_t full : fulls) {
        const Positions chain = ChainOn(history, full, toTime, diffFits);
        candidates.push_back(Measured(history, chain, chain));
    }
    return Furthest(history, candidates, toTime);
}

// The position of the backup that ended last by `toTime` (0 = the latest),
// of those ending in one second the one stored last; kNone when none did. A
// set is stored when its job has drained it to the media, so a backup that
// ended earlier may be stored after one that ended later.
size_t NewestEndedBy(const std::vector<JxServeBackup>& history, uint64_t toTime) {
    size_t found = kNone;
    for (size_t i = 0; i < history.size(); ++i) {
        const uint64_t end = history[i].endTime;
        if ((toTime == 0 || end <= toTime) && (found == kNone || end >= history[found].endTime)) found = i;
    }
    return found;
}

// The backups on the recovery path the database was on at `toTime` (0 = the
// latest): the path of the backup that ended last by then.
std::vector<JxServeBackup> OnPathAt(const std::vector<JxServeBackup>& history, uint64_t toTime) {
    return JxServeOnPathOf(history, NewestEndedBy(history, toTime));
}

// Whether a database restored up to the backup at `restored` is on a path
// the latest backups have left: that backup is not on the latest path.
bool Abandoned(const std::vector<JxServeBackup>& history, size_t restored) {
    if (restored == kNone || history.empty()) return false;
    const JxServeBackup& latest = history[NewestEndedBy(history, 0)];
    return !JxServeRecoveryPathScope(history, latest.recoveryPath).Holds(history[restored]);
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

std::vector<JxServeBackup> JxServeChainAt(const std::vector<JxServeBackup>& all, uint64_t toTime) {
    return Chain(OnPathAt(all, toTime), toTime, IsFull, IsDifferential);
}

std::vector<JxServeBackup> JxServeChainAfter(const std::vector<JxServeBackup>& all, uint64_t restoredUpTo) {
    // A database restored on a path the latest backups left takes the
    // latest chain from its full, which is restored over it.
    if (Abandoned(all, NewestEndedBy(all, restoredUpTo))) return JxServeChainAt(all, 0);
    const std::vector<JxServeBackup> history = OnPathAt(all, 0);
    auto endedAfter = [restoredUpTo](const JxServeBackup& b) { return b.endTime > restoredUpTo; };
    std::vector<Candidate> candidates;
    for (size_t full : CandidateFulls(history, [&](const JxServeBackup& b) { return IsFull(b) && !endedAfter(b); })) {
        // What of the latest chain on that full ended after the restore.
        const Positions latest = ChainOn(history, full, 0, IsDifferential);
        Positions after;
        std::copy_if(latest.begin(), latest.end(), std::back_inserter(after),
                     [&](size_t i) { return endedAfter(history[i]); });
        candidates.push_back(Measured(history, std::move(after), latest));
    }
    if (candidates.empty()) return JxServeChainAt(history, 0);
    return Furthest(history, candidates, 0);
}

std::vector<JxServeBackup> JxServeFileGroupChain(const std::vector<JxServeBackup>& all, uint64_t toTime,
                                                 const std::vector<std::string>& names) {
    const std::vector<JxServeBackup> history = OnPathAt(all, toTime);
    // A name is a file group or a data file; a backup whose data files are
    // not known (a name it lacks as a group may still be a file's) is taken
    // to hold them all.
    auto holdsAll = [&](const JxServeBackup& b) {
        return b.dataFiles.empty() || std::all_of(names.begin(), names.end(), [&](const std::string& name) {
                   return Named(b.fileGroups, name) || Named(b.dataFiles, name);
               });
    };
    auto usable = [&](const JxServeBackup& b) { return JxServeStreamRestorable(b) && holdsAll(b); };
    return Chain(
        history, toTime, [&](const JxServeBackup& b) { return (IsFull(b) || IsFileFull(b)) && usable(b); },
        [&](const JxServeBackup& b) { return (IsDifferential(b) || IsFileDifferential(b)) && usable(b); });
}

std::vector<JxServeBackup> JxServeLiveSyncChain(const std::vector<JxServeBackup>& all, const std::string& restoredLsn,
                                                const std::string& restoredFirstLsn) {
    auto snapshot = [](const JxServeBackup& b) { return JxServeIsSnapshotMethod(static_cast<int64_t>(b.word10)); };
    const std::vector<JxServeBackup> history = OnPathAt(all, 0);
    auto lastRestored = [&](const JxServeBackup& b) {
        return !restoredLsn.empty() && JxServeSameLsn(b.lastLsn, restoredLsn) &&
               (restoredFirstLsn.empty() || b.firstLsn.empty() || JxServeSameLsn(b.firstLsn, restoredFirstLsn));
    };
    auto sent = [&](const Positions& positions) {
        std::vector<JxServeBackup> chain;
        for (size_t i : positions) chain.push_back(history[i]);
        return chain;
    };
    // A standby whose last restored backup lies only on paths the latest
    // backups left, or that holds nothing yet, starts again from a cycle.
    const bool onLatestPath =
        Newest(all, [&](size_t i) { return lastRestored(all[i]) && !Abandoned(all, i); }) != kNone;
    const bool onLeftPath = Newest(all, [&](size_t i) { return lastRestored(all[i]) && Abandoned(all, i); }) != kNone;
    const bool startAgain = restoredLsn.empty() || (!onLatestPath && onLeftPath);
    // The logs that carry the standby on from where it stands.
    Positions logs;
    if (!startAgain) {
        const size_t at = Newest(history, [&](size_t i) { return lastRestored(history[i]); });
        logs = LogsOnFrom(history, at, restoredLsn, 0);
        const bool continues = !logs.empty() && (history[logs.front()].firstLsn.empty() ||
                                                 !JxServeLsnBelow(restoredLsn, history[logs.front()].firstLsn));
        if (continues) return sent(logs);
    }
    // No log carries it on (nothing restored yet, a path left, a gap or a
    // broken log chain): one cycle, the newest ordinary full the job can
    // restore, its newest differential and the logs after them; a
    // differential is never sent without its full. A cycle that would take
    // the standby back is not sent: the logs after the gap are, for the
    // engine to refuse.
    const size_t full =
        Newest(history, [&](size_t i) { return IsFull(history[i]) && !history[i].copyOnly && !snapshot(history[i]); });
    if (full == kNone) return sent(logs);
    const Positions cycle =
        ChainOn(history, full, 0, [&](const JxServeBackup& b) { return IsDifferential(b) && !snapshot(b); });
    const Candidate reach = Measured(history, cycle, cycle);
    if (startAgain || JxServeLsnBelow(restoredLsn, reach.reachedLsn)) return sent(cycle);
    return sent(logs);
}
