// SubClientCache: the log-dump cache of one subclient.
#include "JxSQLCommon/records/SubClientCache.h"

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"

void SubClientCache::Init() {
    m_valid = false;
    m_backupSetId = 0;
    m_subclientId = 0;
    m_subclientName.clear();
    m_instanceId = 0;
    m_instanceName.clear();
    m_genericOptions = 0;
    m_instanceText1.clear();
    m_instanceText2.clear();
    m_clientId = 0;
    m_clientText1.clear();
    m_clientText2.clear();
    m_clientFlag1 = false;
    m_clientFlag2 = false;
    m_instanceNumber = 0;
    m_list.clear();
    m_dbBackupInfo.clear();
    m_number1 = 0;
    m_flag1 = true;
    m_agText1.clear();
    m_agText2.clear();
    m_hashMap.clear();
    m_word1 = 0;
    m_collectFile.clear();
    m_dumpType = 0;
    m_word2 = 0;
    m_word3 = 0;
    m_databaseNames.clear();
    m_flag2 = false;
    m_useCache = false;
    m_csOnline = false;
    m_secondSet.clear();
    m_number2 = 0;
    m_flag3 = true;
    m_text.clear();
    m_replicaClientId = 0;
    m_replicaClientText1.clear();
    m_replicaClientText2.clear();
    m_dumpRunsOnSecondary = false;
    m_flag4 = false;
    m_flag5 = false;
    m_word4 = 0;

    m_setting1 = 24;
    m_setting2 = 0;
    m_slaUpdateInterval = kDefaultSlaUpdateInterval;
    m_setting4 = 0;
    unsigned int interval = 0;
    if (JXPlatformInfo().getNumber("MSSQLAgent", "SLAUpdateInterval", &interval)) m_slaUpdateInterval = interval;
    if (m_slaUpdateInterval > kMaxSlaUpdateInterval) m_slaUpdateInterval = kDefaultSlaUpdateInterval;
}

std::string SubClientCache::GetReplyMessageToPrimary() const {
    std::vector<SQLPmn::SqlUpdateBackupInfo> infos;
    for (const auto& [dbName, result] : m_dbBackupInfo) {
        SQLPmn::SqlUpdateBackupInfo info;
        info.setstring(SQLPmn::SqlUpdateBackupInfo::kDatabaseName, dbName);
        info.setint64(SQLPmn::SqlUpdateBackupInfo::kNumber64, static_cast<int64_t>(result.number64));
        info.setint64(SQLPmn::SqlUpdateBackupInfo::kNumber32, static_cast<int64_t>(result.number32));
        info.setstring(SQLPmn::SqlUpdateBackupInfo::kFirstText, result.firstText);
        info.setstring(SQLPmn::SqlUpdateBackupInfo::kSecondText, result.resultText);
        infos.push_back(info);
    }
    if (infos.empty()) return std::string();

    SQLPmn::SqlUpdateBackupDumpInfoReq request;
    JxEntities::GenericEntity entity;
    // The whole 64-bit subclient id.
    entity.setint64(JxEntities::GenericEntity::kSubclientId, static_cast<int64_t>(m_subclientId));
    request.setObjectAccessor(SQLPmn::SqlUpdateBackupDumpInfoReq::kEntity, entity);
    request.setlistobject(SQLPmn::SqlUpdateBackupDumpInfoReq::kBackupInfos, infos);
    std::string text;
    request.serialize(text);
    return text;
}
