// Log backup on an availability-group secondary: staging through the
// management layer, or a dump through the outside dump library with the
// per-database results for the primary; and, on the primary, the update of a
// subclient's dump cache.
#include <dlfcn.h>

#include "JxLib/JXPIAgent.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSQLCommon/records/SubClientCache.h"
#include "JxSQLMessageHandler/service/AGCollectFileService.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "JxSQLMessageHandler/service/SqlXmlResponse.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr const char* kDumpLibraryName = "libJxSQLPmnOSC.so";
constexpr const char* kDumpEntryName = "PerformSQLDump";
// The dump type of an availability-group dump (a log-dump job reports it as "AG").
constexpr uint32_t kAGDumpType = 6;

using PerformSQLDumpFn = bool (*)(SubClientCache*);

using Entity = JxEntities::GenericEntity;

}  // namespace

bool CSQLClientDll::AGTLBackupStaging() {
    const AGTLBackupReq_t* record = ReceivedRecord<AGTLBackupReq_t>(m_receivedBuffer);
    std::string xml = record != nullptr && record->xml != nullptr ? record->xml : "";
    App::AGTLBackupReq request;
    if (request.unserialize(xml) != kMsgOk) {
        EV_ERROR(m_event, "Failed to unserialize message [%s]", xml.c_str());
        sendTextReply(kSqlAGTLBackupRsp, getResponseMessage(118, "Failed to unserialize the request."));
        return false;
    }
    const CNMessageBase* entity = request.getObjectAccessor(App::AGTLBackupReq::kInstance);
    if (entity == nullptr) {
        EV_ERROR(m_event, "The log backup request names no instance.");
        sendTextReply(kSqlAGTLBackupRsp, getResponseMessage(102, "No instance details found in the request."));
        return false;
    }

    std::string reply;
    if (request.getint64(App::AGTLBackupReq::kDumpOnSecondary) != 0) {
        DoTLDumpToRemoteStorage(request, reply);
    } else {
        unsigned long instanceId = static_cast<unsigned long>(entity->getint64(Entity::kInstanceId));
        unsigned long clientId = static_cast<unsigned long>(entity->getint64(Entity::kClientId));
        std::string errorText = "Failed AG TL Staging backup in Secondary replica";
        CsqlDMO dmo;
        dmo.setInstanceId(instanceId);
        bool staged = dmo.AGTLBackupStaging(
            entity->getstring(Entity::kInstanceName), request.getstring(App::AGTLBackupReq::kStagingArgument),
            instanceId, clientId, request.getstring(App::AGTLBackupReq::kInstanceDetail1),
            request.getstring(App::AGTLBackupReq::kInstanceDetail2),
            static_cast<uint64_t>(request.getint64(App::AGTLBackupReq::kGenericOptions)),
            static_cast<uint64_t>(request.getint64(App::AGTLBackupReq::kInstanceNumber)), errorText);
        reply = staged ? "Successfully finish AG TL Staging"
                       : wz::Format("%s AG instanceId[%lu], ClientId[%lu].", errorText.c_str(), instanceId, clientId);
    }
    return sendTextReply(kSqlAGTLBackupRsp, reply);
}

bool CSQLClientDll::DoTLDumpToRemoteStorage(App::AGTLBackupReq& request, std::string& reply) {
    EV_INFO(m_event, "Received the message to perform SQL Transaction log dump");
    const CNMessageBase* entity = request.getObjectAccessor(App::AGTLBackupReq::kInstance);
    if (entity == nullptr) {
        EV_ERROR(m_event, "oAGTLBackupReq.getSqlInstance() is null.");
        return false;
    }
    if (!request.isSet(App::AGTLBackupReq::kDatabases)) {
        reply = getResponseMessage(102, "databases pointer is null.");
        return false;
    }
    std::vector<std::string> databases = request.getliststring(App::AGTLBackupReq::kDatabases);
    if (databases.empty()) {
        reply = getResponseMessage(102, "No databases found in the request.");
        return false;
    }

    uint64_t subclientId = static_cast<uint64_t>(entity->getint64(Entity::kSubclientId));
    uint64_t instanceId = static_cast<uint64_t>(entity->getint64(Entity::kInstanceId));
    uint64_t clientId = static_cast<uint64_t>(entity->getint64(Entity::kClientId));
    std::string instanceName = entity->getstring(Entity::kInstanceName);
    std::string clientName = entity->getstring(Entity::kClientName);
    // The dump library finds the databases in the "DS" collect file of the subclient.
    if (!sqlWriteOscCollectFile(*this, static_cast<unsigned int>(subclientId), true, databases, instanceName, reply)) {
        return false;
    }

    SubClientCache cache;
    cache.m_dumpType = kAGDumpType;
    cache.m_flag3 = true;
    std::string clientText2 = request.getstring(App::AGTLBackupReq::kClientText2);
    cache.StoreSubClientDetails(subclientId, entity->getstring(Entity::kSubclientName),
                                static_cast<uint64_t>(entity->getint64(Entity::kBackupSetId)));
    cache.StoreInstanceDetails(instanceId, instanceName, request.getstring(App::AGTLBackupReq::kInstanceDetail1),
                               request.getstring(App::AGTLBackupReq::kInstanceDetail2),
                               static_cast<uint64_t>(request.getint64(App::AGTLBackupReq::kInstanceNumber)));
    cache.StoreClientDetails(clientId, clientName, clientText2, false, true);
    cache.StoreGenericOptions(static_cast<uint64_t>(request.getint64(App::AGTLBackupReq::kGenericOptions)));
    cache.StoreAGInfo("", instanceName);
    cache.StoreReplicaClientDetails(clientId, clientName, clientText2);

    void* library = LoadSQLPmnOscLibrary();
    if (library == nullptr) {
        const char* why = dlerror();
        reply = getResponseMessage(123, wz::Format(" Failed to load sqlpmnosc.dll. Error: [%s]",
                                                   why != nullptr ? why : "no library path"));
        return false;
    }
    dlerror();
    auto entry = reinterpret_cast<PerformSQLDumpFn>(dlsym(library, kDumpEntryName));
    if (entry == nullptr) {
        const char* why = dlerror();
        reply = getResponseMessage(
            124, wz::Format(" Failed to get entry point for PerformSQLDump() API in SQL Library. Error: [%s].",
                            why != nullptr ? why : "null entry"));
        dlclose(library);
        return false;
    }
    cache.SetUseCache(true);
    cache.SetValid(true);
    cache.SetDumpRunOnSecondary(true);
    EV_INFO(m_event, "Starting SQL Transaction log dump");
    bool ok = entry(&cache);
    dlclose(library);

    std::string status = wz::Format("Transaction log dump %s. Instance: [%lu - %s], Client: [%lu - %s].",
                                    ok ? "succeeded" : "failed",
                                    static_cast<unsigned long>(static_cast<uint32_t>(instanceId)), instanceName.c_str(),
                                    static_cast<unsigned long>(static_cast<uint32_t>(clientId)), clientName.c_str());
    reply = ok ? getResponseMessage(0, cache.GetReplyMessageToPrimary()) : getResponseMessage(125, status);
    EV_INFO(m_event, "%s", status.c_str());
    return ok;
}

void* CSQLClientDll::LoadSQLPmnOscLibrary() const {
    EvDebug log;
    JXPI_JxClient client;
    if (client.invalidJXPlatform()) {
        EV_ERROR(log, "Invalid JxClient Platform.");
        return nullptr;
    }
    std::string path;
    if (!client.getBaseHomeDirectory(path) || path.empty()) {
        EV_ERROR(log, "Could not find the Base directory.");
        return nullptr;
    }
    CWzError appended = FXPath::Append(path, kDumpLibraryName);
    if (appended.IsError()) {
        EV_ERROR(log, "Error building full path for the library: %s. Error: %s", kDumpLibraryName,
                 appended.AsString().c_str());
        return nullptr;
    }
    return dlopen(path.c_str(), RTLD_LAZY);
}

bool CSQLClientDll::UpdateTLDumpCache() {
    const SQLTLDumpCacheReq_t* record = ReceivedRecord<SQLTLDumpCacheReq_t>(m_receivedBuffer);
    std::string xml = record != nullptr && record->xml != nullptr ? record->xml : "";
    SQLPmn::SQLTLDumpCache request;
    int e = request.unserialize(xml);
    if (e != kMsgOk) {
        EV_ERROR(m_event, "Failed to unserialize message [%s]. Error [%lu]", xml.c_str(), static_cast<unsigned long>(e));
        sendTextReply(kSqlTLDumpCacheRsp, getResponseMessage(118, "Failed to unserialize the cache update request."));
        return false;
    }
    unsigned long subclientId = static_cast<unsigned long>(request.getint64(SQLPmn::SQLTLDumpCache::kSubclientId));
    std::string cache = request.getstring(SQLPmn::SQLTLDumpCache::kCacheText);
    int64_t operation = request.getint64(SQLPmn::SQLTLDumpCache::kOperation);
    if (cache.empty() || subclientId == 0 || operation != 1) {
        EV_ERROR(m_event, "Invalid cache update request: subclient id [%lu], operation [%lld], cache of %zu bytes.",
                 subclientId, static_cast<long long>(operation), cache.size());
        sendTextReply(
            kSqlTLDumpCacheRsp,
            getResponseMessage(102, "The cache update needs a subclient id, the cache text and operation 1."));
        return false;
    }

    std::string reply = getResponseMessage(
        126, wz::Format("Failed to persist subclient cache details on the primary replica for subclient id [%lu]",
                        subclientId));
    std::string section = "MSSQLAgent";
    JXPlatformInfo settings;
    if (FXPath::Append(section, "SqlBackupDump").IsSuccess() &&
        FXPath::Append(section, wz::Format("%lu", subclientId)).IsSuccess() &&
        settings.setString(section, "Cache", cache)) {
        std::string text = wz::Format(
            "Successfully persisted subclient cache details on the primary replica for subclient id [%lu].", subclientId);
        EV_INFO(m_event, "%s", text.c_str());
        reply = getResponseMessage(0, text);
    } else {
        EV_DEBUG(m_event, 1, "Failed to persist subclient cache details on the primary replica for subclient id [%lu]",
                 subclientId);
    }
    return sendTextReply(kSqlTLDumpCacheRsp, reply);
}
