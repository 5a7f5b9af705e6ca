// Network shares on a peer: the requesters that ask another client to
// publish or remove shares, the handlers that serve those requests, and the
// local removal both handlers share.
#include "JxSQLMessageHandler/client/PeerShares.h"

#include <set>
#include <vector>

#include "JXAppMgr/Instance.h"
#include "JxSQLCommon/jobbase/JxSQLNetUtils.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "JxSQLMessageHandler/client/PeerRecordFrames.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "JxsqlDMO/CsqlDMO.h"

namespace {

using PathMap = std::map<std::string, std::string, caseIgnoreCompare>;

constexpr size_t kUncBufferSize = 3072;

}  // namespace

bool SqlUncShareOf(const std::string& uncPath, std::string& share, std::string& machine) {
    if (uncPath.rfind("\\\\", 0) != 0) return false;
    size_t first = uncPath.find('/', 2);
    if (first == std::string::npos) return false;
    machine = uncPath.substr(2, first - 2);
    size_t second = uncPath.find('/', first + 1);
    share = second == std::string::npos ? uncPath : uncPath.substr(0, second);
    return true;
}

bool CSQLClientDll::CreateUNCPathOnRemoteMachine(unsigned long clientId, unsigned long instanceId,
                                                 std::set<std::string> paths, PathMap& uncPaths) {
    SqlUncPathCreateReq_t request;
    std::vector<SqlCreateUncPath_t> entries(paths.size() + 1);
    try {
        request.instanceId = instanceId;
        request.count = static_cast<int32_t>(paths.size());
        size_t i = 0;
        for (const std::string& path : paths) entries[i++].path = const_cast<char*>(path.c_str());
        request.paths = entries.data();
        return requestPeerRecord<SqlUncPathCreateRsp_t>(
            clientId, request, kSqlCreateUncPathReq, kSqlCreateUncPathRsp, false,
            [&](const SqlUncPathCreateRsp_t& reply) {
                // An answer without any share is a failure too.
                if (reply.error != 0 || reply.count <= 0 || reply.pairs == nullptr) {
                    EV_ERROR(m_event, "Failed to create UNC paths with error [%d].", reply.error);
                    return false;
                }
                for (int32_t k = 0; k < reply.count; ++k) {
                    uncPaths.emplace(TextOf(reply.pairs[k].path), TextOf(reply.pairs[k].uncPath));
                }
                return true;
            });
    } catch (...) {
        EV_ERROR(m_event, "Uncaught exception when creating the UNC path on remote machine.");
        return false;
    }
}

bool CSQLClientDll::DeleteUNCPathOnRemoteMachine(unsigned long clientId, PathMap uncPaths) {
    if (uncPaths.empty()) return true;
    SqlDeleteUNCPathReq_t request;
    try {
        std::vector<SqlCreatedUncPath_t> pairs(uncPaths.size() + 1);
        size_t i = 0;
        for (const auto& [path, unc] : uncPaths) {
            pairs[i].path = const_cast<char*>(path.c_str());
            pairs[i].uncPath = const_cast<char*>(unc.c_str());
            ++i;
        }
        request.count = static_cast<int32_t>(uncPaths.size());
        request.pairs = pairs.data();
        return requestPeerRecord<SqlDeleteUNCPathRsp_t>(
            clientId, request, kSqlDeleteUncPathReq, kSqlDeleteUncPathRsp, false,
            [&](const SqlDeleteUNCPathRsp_t& reply) {
                if (reply.error == 0) return true;
                EV_ERROR(m_event, "Failed to remove UNC paths with error [%d].", reply.error);
                return false;
            });
    } catch (...) {
        EV_ERROR(m_event, "Unknown exception when removing UNC path.");
        return false;
    }
}

bool CSQLClientDll::CreateUNCPaths() {
    PathMap created;
    std::vector<SqlCreatedUncPath_t> pairs;  // point into `created` until the reply is sent
    return servePeerRecord<SqlUncPathCreateReq_t, SqlUncPathCreateRsp_t>(
        kSqlCreateUncPathRsp, "Unknown exception while creating UNC paths.",
        [&](const SqlUncPathCreateReq_t& request, SqlUncPathCreateRsp_t& reply) {
            MsSqlInstance instance(request.instanceId);
            if (request.count <= 0 || request.paths == nullptr) {
                reply.error = 4;
                return false;
            }
            std::string name;
            instance.getInstanceName(name);
            CsqlDMO dmo;
            dmo.setInstanceId(request.instanceId);
            if (name.empty() || !dmo.initialize(name, true)) {
                reply.error = 5;
                return false;
            }
            for (int32_t i = 0; i < request.count; ++i) {
                const char* path = request.paths[i].path;
                if (path == nullptr || *path == '\0') continue;
                EV_DEBUG(m_event, 3, "Normal path to convert to UNC : [%s].", path);
                char unc[kUncBufferSize] = {};
                if (!JxSQLNetUtils::CreateUNCPath(path, unc, nullptr)) {
                    // Undo: the shares made for this request so far go again.
                    DeleteUNCPaths(created);
                    reply.error = 3;
                    return false;
                }
                unc[kUncBufferSize - 1] = '\0';
                EV_DEBUG(m_event, 3, "[%s] ", unc);
                created.emplace(path, unc);
            }
            for (const auto& [path, unc] : created) {
                SqlCreatedUncPath_t pair;
                pair.path = const_cast<char*>(path.c_str());
                pair.uncPath = const_cast<char*>(unc.c_str());
                pairs.push_back(pair);
            }
            reply.count = static_cast<int32_t>(pairs.size());
            reply.pairs = pairs.data();
            return true;
        });
}

bool CSQLClientDll::DeleteUNCPaths() {
    return servePeerRecord<SqlDeleteUNCPathReq_t, SqlDeleteUNCPathRsp_t>(
        kSqlDeleteUncPathRsp, "Unknown exception when removing UNC path.",
        [&](const SqlDeleteUNCPathReq_t& request, SqlDeleteUNCPathRsp_t& reply) {
            if (request.count <= 0 || request.pairs == nullptr) {
                reply.error = 1;
                return false;
            }
            PathMap map;
            for (int32_t i = 0; i < request.count; ++i) {
                map.emplace(TextOf(request.pairs[i].path), TextOf(request.pairs[i].uncPath));
            }
            DeleteUNCPaths(map);  // removal of single shares reports nothing
            return true;
        });
}

bool CSQLClientDll::DeleteUNCPaths(PathMap uncPaths) {
    try {
        std::set<std::string> removed;
        for (const auto& entry : uncPaths) {
            const std::string& value = entry.second;
            EV_DEBUG(m_event, 3, "Network share path [%s].", value.c_str());
            std::string share, machine;
            if (!SqlUncShareOf(value, share, machine)) continue;
            EV_DEBUG(m_event, 3, "Delete network share [%s]  on machine [%s].", share.c_str(), machine.c_str());
            if (!removed.insert(share).second) continue;
            JxSQLNetUtils::DeleteNetWorkShare(share.c_str(), machine.c_str());
        }
        return true;
    } catch (...) {
        EV_ERROR(m_event, "Unknown exception when removing UNC path.");
        return false;
    }
}
