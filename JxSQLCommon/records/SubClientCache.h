// SubClientCache: everything a transaction-log dump of one subclient needs to
// know about its subclient, instance, client, availability group and replica,
// so that the dump runs without asking the central server again.
//
// The request layer fills one when a secondary replica is told to dump a log
// and hands it to the dump library's "PerformSQLDump"; the log-dump job keeps
// one in its job object. The members the Store and Set operations do not fill
// are written and read directly by the log-dump code and the dump library, so
// the members are public. One cache belongs to one job or one request at a
// time; nothing here locks.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "JxJxServCommunicationUtility/JXOnDemandSvcClient.h"
#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SqlStringUtils.h"

// The identity of one database in the dump results.
struct SqlDatabaseDetail_t {
    std::string databaseName;
    std::string detailText1;
    std::string detailText2;
};

// One database's dump result; the last four members travel to the primary.
struct SqlDatabaseBackupInfo_Cache {
    SqlDatabaseDetail_t detail;
    uint64_t number64 = 0;
    uint32_t number32 = 0;
    std::string firstText;
    std::string resultText;  // not empty when the database was dumped
};

class SubClientCache {
public:
    // The SLA update interval (minutes) when the setting is absent or above kMaxSlaUpdateInterval.
    static constexpr uint64_t kDefaultSlaUpdateInterval = 15;
    static constexpr uint64_t kMaxSlaUpdateInterval = 1440;

    SubClientCache() { Init(); }

    // Resets every member and reads "SLAUpdateInterval" of section "MSSQLAgent".
    void Init();

    void StoreSubClientDetails(const uint64_t& subclientId, const std::string& subclientName,
                               const uint64_t& backupSetId) {
        m_subclientId = subclientId;
        m_subclientName = subclientName;
        m_backupSetId = backupSetId;
    }
    void StoreInstanceDetails(const uint64_t& instanceId, const std::string& instanceName, const std::string& text1,
                              const std::string& text2, const uint64_t& number) {
        m_instanceId = instanceId;
        m_instanceName = instanceName;
        m_instanceText1 = text1;
        m_instanceText2 = text2;
        m_instanceNumber = number;
    }
    void StoreClientDetails(const uint64_t& clientId, const std::string& text1, const std::string& text2,
                            const bool& flag1, const bool& flag2) {
        m_clientId = clientId;
        m_clientText1 = text1;
        m_clientText2 = text2;
        m_clientFlag1 = flag1;
        m_clientFlag2 = flag2;
    }
    void StoreGenericOptions(const uint64_t& options) { m_genericOptions = options; }
    void StoreAGInfo(const std::string& text1, const std::string& text2) {
        m_agText1 = text1;
        m_agText2 = text2;
    }
    void StoreReplicaClientDetails(const uint64_t& replicaClientId, const std::string& text1,
                                   const std::string& text2) {
        m_replicaClientId = replicaClientId;
        m_replicaClientText1 = text1;
        m_replicaClientText2 = text2;
    }

    void SetValid(bool valid) { m_valid = valid; }
    void SetUseCache(bool useCache) { m_useCache = useCache; }
    void SetDumpRunOnSecondary(bool onSecondary) { m_dumpRunsOnSecondary = onSecondary; }
    void SetIsCSOnline(bool online) { m_csOnline = online; }
    void SetCollectFile(const std::string& path) { m_collectFile = path; }
    void ClearDBList() { m_databaseNames.clear(); }

    // The XML request (SQLPmn::SqlUpdateBackupDumpInfoReq) that reports the
    // per-database results to the primary replica; empty when there are none.
    std::string GetReplyMessageToPrimary() const;

    // The cache as one line of text: a version word, then one ";key=value"
    // entry per member the dump needs (subclient, instance, client, options,
    // group, replica, collect file, flags, databases and per-database
    // results), with "\\", ";", "|", tab and line breaks escaped by "\\".
    // SetCacheFromString reads that text back into the same members; false,
    // with the cache unchanged, when an entry cannot be read.
    std::string GetCacheAsString() const;
    bool SetCacheFromString(const std::string& text);

    bool m_valid = false;
    uint64_t m_backupSetId = 0;
    uint64_t m_subclientId = 0;
    std::string m_subclientName;
    uint64_t m_instanceId = 0;
    std::string m_instanceName;
    uint64_t m_genericOptions = 0;
    std::string m_instanceText1;
    std::string m_instanceText2;
    uint64_t m_clientId = 0;
    std::string m_clientText1;
    std::string m_clientText2;
    bool m_clientFlag1 = false;
    bool m_clientFlag2 = false;
    uint64_t m_instanceNumber = 0;
    std::vector<std::string> m_list;
    // Per-database dump results by database name, compared without regard to case.
    std::map<std::string, SqlDatabaseBackupInfo_Cache, caseIgnoreCompare> m_dbBackupInfo;
    uint64_t m_number1 = 0;
    bool m_flag1 = true;
    std::string m_agText1;
    std::string m_agText2;
    std::unordered_map<std::string, std::string> m_hashMap;
    uint64_t m_word1 = 0;
    std::string m_collectFile;
    EvDebug m_log;
    JXOnDemandSvcClient m_onDemandClient;
    uint32_t m_dumpType = 0;  // 6: an availability-group dump
    uint64_t m_word2 = 0;
    uint64_t m_word3 = 0;
    std::set<std::string> m_databaseNames;
    bool m_flag2 = false;
    bool m_useCache = false;
    bool m_csOnline = false;
    std::set<std::string> m_secondSet;
    uint64_t m_number2 = 0;
    bool m_flag3 = true;
    std::string m_text;
    uint64_t m_replicaClientId = 0;
    std::string m_replicaClientText1;
    std::string m_replicaClientText2;
    bool m_dumpRunsOnSecondary = false;
    bool m_flag4 = false;
    bool m_flag5 = false;
    uint32_t m_word4 = 0;
    uint64_t m_setting1 = 24;
    uint64_t m_setting2 = 0;
    uint64_t m_slaUpdateInterval = kDefaultSlaUpdateInterval;
    uint64_t m_setting4 = 0;
};
