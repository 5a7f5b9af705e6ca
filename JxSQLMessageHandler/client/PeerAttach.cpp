// Database attach on a peer: the requester that asks another client to
// attach database files to one of its instances, and the handler that does it.
#include <string>

#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "JxSQLMessageHandler/client/PeerRecordFrames.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "JxsqlDMO/CsqlDMO.h"

bool CSQLClientDll::AttachDatabaseOnRemoteMachine(unsigned long clientId, unsigned long instanceId,
                                                  std::string instanceName, std::string attachInfo,
                                                  std::string& errorText) {
    try {
        EV_INFO(m_event, "Sending attach DB message [%s] to instance [%s].", attachInfo.c_str(), instanceName.c_str());
        SqlAttachDatabaseRemoteReq_t request;
        request.instanceId = instanceId;
        request.instanceName = instanceName.data();
        request.attachInfo = attachInfo.data();
        return requestPeerRecord<SqlAttachDatabaseRemoteRsp_t>(
            clientId, request, kSqlAttachDatabaseReq, kSqlAttachDatabaseRsp, false,
            [&](const SqlAttachDatabaseRemoteRsp_t& reply) {
                if (reply.error == 0) return true;
                EV_ERROR(m_event, "Failed to attach database on remote instance with error [%lu].",
                         static_cast<unsigned long>(reply.error));
                if (reply.errorText != nullptr && *reply.errorText != '\0') {
                    errorText = reply.errorText;
                    EV_ERROR(m_event, "Failed to attach database on remote instance with error [%s].",
                             errorText.c_str());
                }
                return false;
            });
    } catch (...) {
        EV_ERROR(m_event, "Unexpected exception caught in sending attach message.");
        return false;
    }
}

bool CSQLClientDll::AttachDatabaseOnInstance() {
    std::string errorText;  // the reply points into it until it has been sent
    return servePeerRecord<SqlAttachDatabaseRemoteReq_t, SqlAttachDatabaseRemoteRsp_t>(
        kSqlAttachDatabaseRsp, "Unexpected exception while attaching a database for a peer.",
        [&](const SqlAttachDatabaseRemoteReq_t& request, SqlAttachDatabaseRemoteRsp_t& reply) {
            std::string instanceName = TextOf(request.instanceName);
            std::string attachInfo = TextOf(request.attachInfo);
            if (instanceName.empty() || attachInfo.empty()) {
                reply.error = 4;
                errorText = "Input parameters are wrong.";
            } else {
                CsqlDMO dmo;
                dmo.setInstanceId(request.instanceId);
                if (!dmo.initialize(instanceName, false)) {
                    // No attach is tried on an instance that cannot be reached.
                    reply.error = 6;
                    errorText = "Failed to initialize DMO object for DB Attach on instance [" + instanceName + "]";
                } else if (!dmo.AttachDatabase(instanceName, attachInfo, errorText)) {
                    reply.error = 5;
                }
            }
            if (reply.error == 0) return true;
            reply.errorText = errorText.data();
            return false;
        });
}
