// Stored procedures of the backup jobs' status tab and of the per-database
// backup information: they store what the job sends (StatusTabStore.h).
#include "JXAppMgr/StatusTabStore.h"
#include "JXAppMgr/StoredProcedures.h"
#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/JobManagerMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "WzSQLite/CSQLite3Exception.h"

namespace {

// The procedures' own error for a store that cannot be written.
constexpr int kStoreFailed = 0x21;

template <typename Response>
int Answer(std::string& responseXml) {
    Response response;
    response.setint64(Response::kErrorCode, 0);
    response.setstring(Response::kErrorText, "");
    std::string text;
    if (int rc = response.serialize(text); rc != kMsgOk) return rc;
    responseXml = text;
    return 0;
}

}  // namespace

int SpUpdateJobStatusTab(const std::string& requestXml, std::string& responseXml) {
    JobManager::SQLJobInfo info;
    if (int rc = info.unserialize(requestXml); rc != kMsgOk) return rc;
    const auto jobId = static_cast<uint64_t>(info.getint64(JobManager::SQLJobInfo::kJobId));
    const auto jxCellId = static_cast<uint64_t>(info.getint64(JobManager::SQLJobInfo::kJxCellId));
    std::vector<JobManager::SQLStatusTab> records;
    if (!info.getlistobject(JobManager::SQLJobInfo::kStatusTabs, records)) return kMsgBadField;
    try {
        for (const JobManager::SQLStatusTab& record : records) {
            std::string text;
            if (int rc = record.serialize(text); rc != kMsgOk) return rc;
            statustab::PutRecord(jobId, jxCellId, record.getstring(JobManager::SQLStatusTab::kDatabaseName), text);
        }
    } catch (const FX::CSQLite3Exception& e) {
        EvDebug().Error("SpUpdateJobStatusTab", "Status tab of job [%llu] not stored: %s",
                        static_cast<unsigned long long>(jobId), e.what());
        return kStoreFailed;
    }
    return Answer<App::GenericResp>(responseXml);
}

int SpUpdateDatabaseInfo(const std::string& requestXml, std::string& responseXml) {
    using Req = SQLPmn::SqlUpdateDatabaseInfoReq;
    Req request;
    if (int rc = request.unserialize(requestXml); rc != kMsgOk) return rc;
    statustab::DatabaseInfo info;
    info.instanceId = static_cast<uint64_t>(request.getint64(Req::kInstanceId));
    info.applicationId = static_cast<uint64_t>(request.getint64(Req::kApplicationId));
    info.database = request.getstring(Req::kDatabaseName);
    info.recoveryModel = request.getint64(Req::kRecoveryModel);
    info.hasLastBackupTime = request.isSet(Req::kLastBackupTime);
    info.lastBackupTime = request.getint64(Req::kLastBackupTime);
    info.hasLastFailureTime = request.isSet(Req::kLastFailureTime);
    info.lastFailureTime = request.getint64(Req::kLastFailureTime);
    info.jobId = static_cast<uint64_t>(request.getint64(Req::kJobId));
    info.status = request.getint64(Req::kStatus);
    try {
        statustab::PutDatabaseInfo(info);
    } catch (const FX::CSQLite3Exception& e) {
        EvDebug().Error("SpUpdateDatabaseInfo", "Information of database [%s] not stored: %s", info.database.c_str(),
                        e.what());
        return kStoreFailed;
    }
    return Answer<SQLPmn::SqlUpdateDatabaseInfoResp>(responseXml);
}
