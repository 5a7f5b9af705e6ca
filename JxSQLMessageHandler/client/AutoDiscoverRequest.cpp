// The default-subclient addition request and the entity reads of database
// auto-discovery.
#include "JxSQLMessageHandler/client/AutoDiscoverRequest.h"

#include <memory>

#include "JXAppMgr/ApplProperties.h"
#include "JXAppMgr/ApplicationId.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"

void AutoDiscoverRequest::Add(const std::string& name, uint64_t creationTime, uint64_t databaseId) {
    m_names.push_back(name);
    m_creationTimes.push_back(creationTime);
    m_ids.push_back(databaseId);
}

std::string AutoDiscoverRequest::NamesWithCommas() const {
    std::string text;
    for (const std::string& name : m_names) text += name + ",";
    return text;
}

AutoDiscoverRequest::Outcome AutoDiscoverRequest::Send(CSQLClientDll& client, uint64_t appId) {
    std::vector<std::string> names = m_names;  // the record points into these
    std::unique_ptr<SQL_DatabaseInfo_t[]> entries(new SQL_DatabaseInfo_t[names.size()]);
    for (size_t i = 0; i < names.size(); ++i) {
        entries[i].name = names[i].data();
        entries[i].creationTime = m_creationTimes[i];
        entries[i].databaseId = m_ids[i];
    }
    SQLAutoDiscoverReq_t request;
    request.count = static_cast<uint32_t>(names.size());
    request.databases = entries.get();
    request.applicationId = appId;
    client.getDataBuffer()->setExternalBuffer(&request, sizeof request);

    SQLAutoDiscoverRsp_t reply;
    client.getReceiveDataBuffer()->setExternalBuffer(&reply, sizeof reply);
    bool exchanged = client.sendAndReceiveMessage(2, kSqlAutoDiscoverReq, kSqlAutoDiscoverRsp);
    bool stored = exchanged && reply.error == 0;
    if (client.FreeReceivedMessage(kSqlAutoDiscoverRsp).IsError()) return Outcome::kReleaseFailed;
    return stored ? Outcome::kStored : Outcome::kNotStored;
}

bool ReadDiscoveryEntities(uint64_t jxCellId, uint64_t appId, DiscoveryEntities& out) {
    ApplicationId application(jxCellId, appId);
    JXClient* client = application.getClient();
    ApplicationTypeSharePointV2Doc* appType = application.getApplicationType();
    MsSqlInstance* instance = application.getInstance();
    BackupSet* backupSet = application.getBackupSet();
    if (client == nullptr || appType == nullptr || instance == nullptr || backupSet == nullptr) return false;
    client->getClientId(out.clientId);
    client->getClientName(out.clientName);
    out.appTypeId = appType->getId();
    out.instanceId = instance->getId();
    instance->getInstanceName(out.instanceName);
    int unset = 0;
    instance->getServerType(out.serverType, unset);
    backupSet->getId(out.backupSetId);
    return true;
}

bool ReadSubclientDatabases(uint64_t subclientId, std::vector<std::string>& names) {
    PropertiesList properties;
    if (ApplProperties(subclientId).getProperties(properties, nullptr) != 0) return false;
    for (const auto& property : properties.getList()) {
        if (property->getType() != kApplPropertyTypeSqlDatabase) continue;
        if (auto* database = dynamic_cast<const MSSQLDBProperty*>(property.get())) names.push_back(database->getDBName());
    }
    return true;
}
