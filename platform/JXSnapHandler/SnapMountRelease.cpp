// JXSnapClientAPI::releaseExpiredMounts: ends mounts whose reservation has
// passed. The databases attached from a mount are detached first (only
// those whose files all lie in the mount: a database of the same name
// elsewhere is someone else's), then the mount paths and the record go.
#include <cerrno>
#include <cinttypes>
#include <vector>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JXSnapHandler/SnapMountRegistry.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

namespace {

std::string WithoutSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool InMount(const std::string& file, const SnapMountRecord& record) {
    for (const SnapMountRecord::Volume& v : record.volumes) {
        const std::string mount = WithoutSlash(v.mountPath);
        if (!mount.empty() && mount != "/" && wz::PathIsUnder(file, mount) && file != mount) return true;
    }
    return false;
}

// Detaches the databases of one attach request that live in the mount;
// false when one of them could not be detached.
bool DetachFromMount(const std::string& xml, const SnapMountRecord& record, std::string& why) {
    SQLPmn::AttachDBMsg message;
    if (message.unserialize(xml) != kMsgOk || message.getModule() != 34 || message.getMessage() != 12) {
        why = "an attach request that cannot be read";
        return false;
    }
    const std::string instance = message.getstring(SQLPmn::AttachDBMsg::kInstanceName);
    std::vector<SQLPmn::AttachDB> entries;
    if (message.isSet(SQLPmn::AttachDBMsg::kDatabases) &&
        !message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, entries)) {
        why = "an attach request whose databases cannot be read";
        return false;
    }
    if (entries.empty()) return true;
    CsqlDMO dmo;
    for (const SQLPmn::AttachDB& entry : entries) {
        const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
        std::vector<std::string> files;
        std::string error;
        if (!dmo.getDatabaseFilePaths(instance, name, files, error)) continue;  // gone already, or no instance
        bool ours = !files.empty();
        for (const std::string& file : files) ours = ours && InMount(file, record);
        if (!ours) continue;
        if (!dmo.DetachDB(instance, name, error)) {
            why = "database [" + name + "] of [" + instance + "] cannot be detached: " + error;
            return false;
        }
    }
    return true;
}

}  // namespace

int JXSnapClientAPI::releaseExpiredMounts(int64_t nowSeconds, std::vector<std::string>& report) {
    std::vector<std::string> damaged;
    int released = 0;
    bool kept = false;
    for (const SnapMountRecord& record : SnapMountRegistry::List(&damaged)) {
        if (record.reserveUntil > nowSeconds) continue;
        const std::string name = std::to_string(record.snapJobId) + "_" + std::to_string(record.jobId);
        std::string why;
        bool ok = true;
        for (const SMMetaDataInfo& item : record.metadata) {
            if (item.getMetaDataType() == kSMMetaDataAttachRequest && !DetachFromMount(item.getMetaData(), record, why)) {
                ok = false;
                break;
            }
        }
        for (size_t i = 0; ok && i < record.volumes.size(); ++i) {
            const std::string mount = WithoutSlash(record.volumes[i].mountPath);
            const std::string root = wz::ResolveThroughLinks(wz::PlatformRoot());
            const std::string resolved = wz::ResolveThroughLinks(mount);
            if (resolved.empty() || root.empty() || resolved == root || !wz::PathIsUnder(resolved, root)) {
                why = "mount path [" + mount + "] is outside the mount area";
                ok = false;
            } else if (wz::RemoveTree(mount) != 0 && errno != ENOENT) {
                why = "mount path [" + mount + "] cannot be removed";
                ok = false;
            }
        }
        if (ok && !SnapMountRegistry::Remove(record.snapJobId, record.jobId)) {
            why = "its record cannot be removed";
            ok = false;
        }
        if (ok) {
            ++released;
            report.push_back("released mount " + name);
        } else {
            kept = true;
            report.push_back("kept mount " + name + ": " + why);
        }
    }
    for (const std::string& name : damaged) report.push_back("skipped damaged mount record " + name);
    return kept ? -1 : released;
}
