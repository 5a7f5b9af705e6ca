// Served requests on the backup history an instance keeps: the list of
// backups for a step-by-step restore, and the pruning of backup sets.
#include <map>

#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlStepRestoreRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "JxSession/jxsFrame.h"
#include "JxsqlDMO/CsqlDMO.h"

unsigned long CSQLClientDll::getSQLStepRestoreList() {
    std::string instanceName;
    std::string databaseName;
    uint64_t pointInTime = 0;
    uint64_t instanceId = 0;
    if (m_requestCode == kSqlStepRestoreListReqV2) {
        auto* q = ReceivedRecord<SQLStepRestoreListReq_V2_t>(m_receivedBuffer);
        instanceName = TextOf(q->instanceName);
        databaseName = TextOf(q->databaseName);
        pointInTime = q->pointInTime;
        instanceId = q->instanceId;
    } else {
        auto* q = ReceivedRecord<SQLStepRestoreListReq_t>(m_receivedBuffer);
        instanceName = TextOf(q->instanceName);
        databaseName = TextOf(q->databaseName);
        pointInTime = q->pointInTime;
    }
    SQLStepRestoreListRsp_t reply;
    // The instance layer builds the list with the record allocators.
    jxsScopedRecordFree<SQLStepRestoreListRsp_t> freeReply(kSqlStepRestoreListRsp, reply);
    CsqlDMO dmo;
    dmo.setInstanceId(instanceId);
    if (!dmo.getStepRestoreList(instanceName, databaseName, pointInTime, reply)) {
        m_event.Debug("getSQLStepRestoreList", "Failed to get step restore list");
    }
    m_sendBuffer.setExternalBuffer(&reply, sizeof(reply));
    sendReply(kSqlStepRestoreListRsp);
    return ReleaseReceivedRequest(m_session, m_receivedBuffer, m_requestCode) ? 1 : 0;
}

unsigned long CSQLClientDll::pruneSqlMsdbEntries() {
    auto* request = ReceivedRecord<SqlBackupsetListReq_t>(m_receivedBuffer);
    SqlBackupsetListRsp_t reply;
    m_sendBuffer.setExternalBuffer(&reply, sizeof(reply));

    // Each instance is pruned once, with its backup sets in request order;
    // the first entry of an instance names it.
    std::map<uint64_t, InstanceNameAndBackupSetIds> byInstance;
    for (uint32_t i = 0; i < request->count && request->entries != nullptr; ++i) {
        const SqlBackupsetEntry_t& entry = request->entries[i];
        auto [it, inserted] = byInstance.try_emplace(entry.instanceId);
        if (inserted) it->second.instanceName = TextOf(entry.instanceName);
        it->second.backupSetIds.push_back(entry.backupSetId);
    }
    for (const auto& [instanceId, sets] : byInstance) {
        CsqlDMO dmo;
        dmo.setInstanceId(instanceId);
        if (!dmo.pruneMSDBEntries(sets)) reply.failed = 1;
    }
    sendReply(kSqlPruneHistoryRsp);
    if (!ReleaseReceivedRequest(m_session, m_receivedBuffer, m_requestCode)) return 0;
    return reply.failed == 0 ? 1 : 0;
}
