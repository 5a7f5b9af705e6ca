// CSQLBase: the job base shared by backup and restore jobs.
//
// It stands on the job context (CSQLCommon, a virtual base: one per job
// object however many paths lead to it) and adds what backups and restores
// share: the VSS switches, a stop watch, the data pipeline, the snapshot
// switches, whether the instance is clustered, the VDI time-out, an index
// browse client and the job's error-decision rules. Its own services read
// the instance's version, decide whether the instance is clustered, look up
// database ids, tell the system databases, read the VSS writer configuration
// and open the index browse client.
//
// The constructor builds the members and nothing else. The job classes
// initialise the job context (m_sServername, m_instanceId) before they call
// the version services or getDatabaseId. No operation takes a lock or
// throws; a failure of SQL Server or the settings store is logged and leaves
// the members unchanged.
#pragma once

#include <cstdint>
#include <string>

#include "JXSnapHandler/SMVolSnapInfo.h"
#include "JobResults/IdxBrowseClient.h"
#include "JxSQLCommon/jobbase/CSQLCommon.h"
#include "JxSQLCommon/jobbase/JxSQLErrorControl.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "WzUtils/CStopWatch.h"

// VSS writer kinds: the default one, and the one the setting
// "MSDEVersionChecking" selects.
enum VSSWriters { VSS_WRITER_DEFAULT = 1, VSS_WRITER_MSDE = 2 };

class CSQLBase : public virtual CSQLCommon {
public:
    // The job's VSS switch and writer kind, set by the backup and restore
    // drivers.
    class VSS {
    public:
        virtual ~VSS() = default;
        bool isVSSEnabled() const { return m_enabled; }
        void setVSS(bool enabled) { m_enabled = enabled; }
        VSSWriters getVSSWriter() const { return m_writer; }
        void setVSSWriter(VSSWriters writer) { m_writer = writer; }

    private:
        bool m_enabled = false;
        VSSWriters m_writer = VSS_WRITER_DEFAULT;
    };

    // Ids of the system databases.
    static constexpr uint64_t kMasterDbId = 1;
    static constexpr uint64_t kModelDbId = 3;
    static constexpr uint64_t kMsdbDbId = 4;

    CSQLBase();
    ~CSQLBase() override;
    CSQLBase(const CSQLBase&) = delete;
    CSQLBase& operator=(const CSQLBase&) = delete;

    // ---- Virtual operations, in slot order --------------------------------
    // Sets the clustered flag and the cluster name for "HOST/INSTANCE" or
    // "HOST". Besides SQL Server's own answer, the instance counts as
    // clustered when its name (the instance part, or the whole name of a
    // default instance) equals the first 15 characters of the setting
    // "VCluster"/"szSQLInstanceName". Without a readable version nothing
    // changes.
    virtual void setIsInstanceClustered(std::string instance);
    // Reads the instance's version (with its product level and edition);
    // true when it differs from the one held, which it then replaces. The
    // major, minor and build numbers follow the held version. A version that
    // is not major.minor.build[.revision] in decimal is logged as an error
    // and leaves the version and its numbers as they were: false.
    bool isUpdateInstanceVersionNeeded() override;
    // The database's id on the job's instance; the name ends before its
    // first character 0x12. False when the database is not found.
    bool getDatabaseId(std::string databaseName, uint64_t& id) override;
    // Reads the instance's major version; false when it cannot be read.
    // m_preV8Instance stays set for versions up to 7.
    virtual bool initializeInstanceVersion();

    // ---- Instance and databases -------------------------------------------
    bool isInstanceClustered() const { return m_isClustered; }
    std::string getClusterName() const { return m_clusterName; }
    // No VSS service and no stopped-service test on this platform.
    int checkVssService(int) { return 0; }
    bool isServiceStopped(const std::string&) { return false; }
    static bool isSystemDb(uint64_t id) { return id == kMasterDbId || id == kModelDbId || id == kMsdbDbId; }
    static bool isMasterDb(uint64_t id) { return id == kMasterDbId; }
    static bool isModelDb(uint64_t id) { return id == kModelDbId; }
    static bool isMSDBDb(uint64_t id) { return id == kMsdbDbId; }
    // Whether the named database is master, model or msdb of the job's
    // instance (false when it is not found).
    bool isSystemDb(const std::string& databaseName);

    // ---- VSS and index browse ---------------------------------------------
    // The VSS writer kind: 2 when the settings key "ORVANE_REGISTRY_BASE"
    // has a non-empty value "MSDEVersionChecking", else 1.
    int checkForWriterConfiguration();
    // Builds the index browse request of the application (jxCellId, appId)
    // and opens the browse client with it. False, logged, when the
    // application has no client or instance, the client has no id or name,
    // or the browse client refuses.
    bool initializeBrowseClient(uint64_t jxCellId, uint64_t appId, uint64_t listValue, uint64_t& rangeValueA,
                                uint64_t& rangeValueB);

protected:
    VSS m_vss;
    CStopWatch m_stopWatch;
    SqlDataTransferHandler m_dataTransferHandler;
    bool m_isSnapBackup = false;
    bool m_isDDRSnapshot = false;
    bool m_useMsftProvider = false;
    SMVolSnapInfo m_snapVolInfo;
    uint64_t m_snapEngineType = 0;
    uint64_t m_replicaSetId = 0;
    int32_t m_logStreamCount = 1;
    uint64_t m_vdiTimeout = 0;
    bool m_vssDiffEnabled = false;
    bool m_isClustered = false;
    std::string m_clusterName;
    bool m_blockLevelEnabled = false;
    IdxBrowseClient m_browseClient;
    JxSQLErrorControl m_errorControl;
};
