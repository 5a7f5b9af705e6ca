// Backup-set and log-mark updates the backup jobs send to the central server
// after each database backup.
#include <cstring>
#include <string>

#include "JxSQLCommon/records/SqlBackupSetRecords.h"
#include "JxSQLCommon/records/SqlCentralServerRecords.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSession/jxsFrame.h"
#include "JxsqlDMO/CsqlDMO.h"

namespace {

constexpr uint64_t kBrokenChainError = 6;

}  // namespace

// The older backup-set record travels as the newer one, whose members begin
// with all of the older record's: a job that placed a _VER3_t gets it sent in
// a _VER5_t copy with the newer members zero. The caller's record is lent
// back to the send buffer afterwards.
bool CSQLClientDll::updateBackupSetInfo(int* outCode) {
    if (outCode != nullptr) *outCode = 0;
    SQLBackupSetInfoReq_VER5_t widened;
    char* placed = m_sendBuffer.getDataBuffer();
    unsigned long placedLength = m_sendBuffer.getDataLength();
    bool older = placed != nullptr && placedLength == sizeof(SQLBackupSetInfoReq_VER3_t);
    if (older) {
        const auto& v3 = *reinterpret_cast<const SQLBackupSetInfoReq_VER3_t*>(placed);
        static_cast<SQLBackupSetInfoCommon_t&>(widened) = v3;
        widened.fileCount = v3.fileCount;
        widened.files = v3.files;
        widened.archiveCount = v3.archiveCount;
        widened.archives = v3.archives;
        m_sendBuffer.setExternalBuffer(&widened, sizeof widened);
    }
    SQLBackupSetInfoRsp_t reply;
    m_receivedBuffer->setExternalBuffer(&reply, sizeof reply);
    bool exchanged = sendAndReceiveMessage(2, kSqlBackupSetReq, kSqlBackupSetRsp);
    if (older) m_sendBuffer.setExternalBuffer(placed, placedLength);
    if (!exchanged) return false;

    bool result = true;
    if (reply.ulError != 0) {
        if (reply.ulError == kBrokenChainError) {
            EV_ERROR(m_event, "The backup chain is detected broken (rsp.ulError = %lu).",
                     static_cast<unsigned long>(reply.ulError));
            if (outCode != nullptr) *outCode = kCauseBrokenChain;
        } else {
            EV_ERROR(m_event, "Error in updating the CS DB (rsp.ulError = %lu).",
                     static_cast<unsigned long>(reply.ulError));
        }
        result = false;
    }
    if (FreeReceivedMessage(kSqlBackupSetRsp).IsError()) result = false;
    return result;
}

bool CSQLClientDll::updateAzureBackupSetInfo(int* outCode) {
    if (outCode != nullptr) *outCode = 0;
    SQLBackupSetInfoRsp_t reply;
    m_receivedBuffer->setExternalBuffer(&reply, sizeof reply);
    if (!sendAndReceiveMessage(2, kSqlAzureBackupSetReq, kSqlBackupSetRsp)) return false;
    bool result = true;
    if (reply.ulError != 0) {
        EV_ERROR(m_event, "Error in updating the CS DB (rsp.ulError = %lu).",
                 static_cast<unsigned long>(reply.ulError));
        result = false;
    }
    if (FreeReceivedMessage(kSqlBackupSetRsp).IsError()) result = false;
    return result;
}

bool CSQLClientDll::updateAnalysisBackupSetInfo() {
    SQLAnalysisBackupSetInfoRsp_t reply;
    m_receivedBuffer->setExternalBuffer(&reply, sizeof reply);
    if (!sendAndReceiveMessage(2, kSqlAnalysisBackupSetReq, kSqlAnalysisBackupSetRsp)) return false;
    bool result = true;
    if (reply.ulError != 0) {
        EV_ERROR(m_event, "Error in updating the CS DB (rsp.ulError = %lu).",
                 static_cast<unsigned long>(reply.ulError));
        result = false;
    }
    if (FreeReceivedMessage(kSqlAnalysisBackupSetRsp).IsError()) result = false;
    return result;
}

bool CSQLClientDll::updateLogMarks(std::string instanceName, unsigned long instanceId, const char* databaseName) {
    std::string database = databaseName != nullptr ? databaseName : "";
    SQLLastLogMarkInCSReq_t lastRequest;
    lastRequest.databaseName = database.data();
    lastRequest.instanceId = instanceId;
    SQLLastLogMarkInCSRsp_t lastReply;
    if (!exchangeWithCentralServer(lastRequest, lastReply, kSqlLastLogMarkReq, kSqlLastLogMarkRsp)) return false;
    std::string lastMarkText = lastReply.markText != nullptr ? lastReply.markText : "0";
    long lastMarkValue = static_cast<long>(lastReply.markValue);
    if (FreeReceivedMessage(kSqlLastLogMarkRsp).IsError()) return false;

    SQLLogMarkUpdateReq_t request;
    // The instance layer builds the marks with the record allocators.
    jxsScopedRecordFree<SQLLogMarkUpdateReq_t> freeMarks(kSqlLogMarkUpdateReq, request);
    SQLLogMarkUpdateRsp_t reply;
    m_receivedBuffer->setExternalBuffer(&reply, sizeof reply);
    CsqlDMO dmo;
    if (!dmo.getLogMarkInfo(instanceName, database, lastMarkValue, lastMarkText, request)) {
        EV_ERROR(m_event, "Failed to get log mark names for database [%s] from server [%s].", database.c_str(),
                 instanceName.c_str());
        return false;
    }
    unsigned long databaseId = 0;
    dmo.getDatabaseId(instanceName, database, databaseId);
    request.databaseId = databaseId;
    request.instanceId = instanceId;
    m_sendBuffer.setExternalBuffer(&request, sizeof request);
    if (request.count == 0) return true;

    bool result = sendAndReceiveMessage(2, kSqlLogMarkUpdateReq, kSqlLogMarkUpdateRsp);
    if (FreeReceivedMessage(kSqlLogMarkUpdateRsp).IsError()) result = false;
    return result;
}
