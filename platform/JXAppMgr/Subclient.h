// Subclient, SubclientConf, MsSqlSubclient: a subclient of the model
// ("subclient/<id>") and the properties the SQL agent reads from it.
//
// Getters return 0 with the value written, or a code of AppModel.h with the
// value unchanged.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "JXAppMgr/ApplBackupContent.h"
#include "JXAppMgr/ApplProperties.h"
#include "JXAppMgr/ContentCallBack.h"
#include "JXAppMgr/PropCallBack.h"

class BackupContent;
class ChangeRefTime;

class Subclient {
public:
    explicit Subclient(uint64_t subclientId);
    virtual ~Subclient() = default;

    uint64_t getId() const { return m_id; }
    bool exists() const;

    // Content entries of one kind (3: exclusion filters), from the properties
    // "content<kind>_1", "content<kind>_2", ... up to the first one missing.
    // Replaces what `content` held; 0, or JXAPPMGR_E_NO_OBJECT for a
    // subclient the model does not have. The other arguments are accepted
    // and not used.
    int getFilters(int kind, BackupContent& content, void* reserved, bool flag1, bool flag2, bool flag3) const;
    // Reads the subclient's properties as they were at `when`; fails with
    // JXAPPMGR_E_NO_OBJECT when the subclient is gone from the model.
    int lookupProperties(const ChangeRefTime& when) const;
    // Data-pipe read buffer in kilobytes (property "readBufferSizeKB").
    int getReadBufferSizeInKiloBytes(uint64_t& kiloBytes) const;
    // The subclient's name (property "name"); the instance's default
    // subclient is named "default".
    int getSubclientName(std::string& name) const;
    // Whether the subclient backs up the databases of an on-demand list
    // (property "onDemand", a number, not 0 = set).
    int isOnDemandSubclient(bool& value) const;
    // Property "dumpSweepSchedule" (a number; not set means none): whether the
    // subclient runs on a dump-sweep schedule that needs no central server.
    int isSubclientAssociatedToDumpSweepSchedule(bool& associated) const;

protected:
    int GetInt(const std::string& key, int& value) const;
    int GetUnsigned(const std::string& key, uint64_t& value) const;
    std::string Object() const;

private:
    uint64_t m_id;
};

class SubclientConf : public Subclient {
public:
    using Subclient::Subclient;

    // VDI time-out in seconds (property "vdiTimeout").
    int getVDITimeout(unsigned long& seconds) const;
    // The server of the SharePoint content databases (property
    // "spContentDBServerName").
    int getSharepointContentDBServerName(std::string& server) const;
    // The SharePoint content databases (properties "spContentDBName_1",
    // "spContentDBName_2", ... up to the first one missing), appended to
    // `names`; JXAPPMGR_E_NO_OBJECT for a subclient the model does not have.
    int getSharepointContentDBName(std::vector<std::string>& names) const;
};

// The callbacks fill the subclient's property cache and content cache.
class MsSqlSubclient : public SubclientConf, public PropCallBack, public ContentCallBack {
public:
    explicit MsSqlSubclient(uint64_t subclientId) : SubclientConf(subclientId), m_properties(subclientId) {}

    void initPropCallback(std::shared_ptr<ApplProperty> property) override {
        m_properties.addToCache(std::move(property));
    }
    void initContentCallback(int kind, const std::string& text) override { m_content.add(kind, text); }
    // Whether the content cache compares its entries with regard to case.
    void SetCaseSensitive(bool caseSensitive) { m_content.SetCaseSensitive(caseSensitive); }
    const ApplProperties& getPropertyCache() const { return m_properties; }
    const ApplBackupContent& getContentCache() const { return m_content; }

    // VDI tunables (properties "tunableBlockSize", "tunableBufferCount",
    // "tunableMaxTransferSize"); any int the model holds, range checks are
    // the reader's.
    int GetTunable_BlockSize(int& value) const;
    int GetTunable_BufferCount(int& value) const;
    int GetTunable_MaxTransferSize(int& value) const;

    // The special subclient type (property "specialSubclientType").
    int getSQLSpecialSubclientType(unsigned int& type) const;

    // The SQL subclient type (property "sqlSubclientType", 1 = databases).
    int getSQLSubclientType(unsigned int& type) const;
    // Content written back to the model (SubclientContent.cpp); each returns
    // 0 or a code of AppModel.h (JXAPPMGR_E_NO_OBJECT for a subclient the
    // model does not have).
    int setSQLSubclientType(unsigned int type);
    // Adds the listed databases (MSSQLDBProperty) to the content; one that is
    // there already (its name compared without regard to case) stays once.
    // Another kind of property gives JXAPPMGR_E_BAD_VALUE.
    int setProperties(const PropertiesList& list);
    // Removes the listed databases from the content (names compared without
    // regard to case); JXAPPMGR_PROP_NOT_SET when none of them was there.
    int removeProperties(const PropertiesList& list);
    // Switches (a number, not 0 = set): "autoDiscover" (new databases join
    // the subclient), "disableAutoDiscovery", "disableLogConsistency".
    int isAutoDiscover(bool& value) const;
    int isDisableAutoDiscovery(bool& value) const;
    int isDisableLogConsistency(bool& value) const;
    // Backup settings: data and log streams ("dataBkpStreams",
    // "logBkpStreams"), the backup-conversion switch ("bkpConversion"),
    // snapshot backup ("snapBackup") and its engine ("snapEngine"), the DDR
    // replica set ("ddrRepSetId") and block-level backup ("blockLevel").
    int getDataBkpStream(int& value) const;
    int getLogBkpStream(int& value) const;
    int getBkpCOnversion(uint64_t& value) const;
    int isSnapBackupEnabled(bool& value) const;
    int getSnapEngine(uint64_t& value) const;
    int getDDRRepSetId(uint64_t& value) const;
    int isBlockLevelBackupOptimizeRecovery(bool& value) const;
    // Integrity check of snapshot copies (SubclientIntegrityCheck.cpp):
    // whether it is configured ("useIntegrityProxy"), the client that runs
    // it ("integrityProxy"), the SQL Server there ("integritySQLServer") and
    // the account it runs under ("integrityProxyUser", and
    // "integrityProxyPassword" in its stored encrypted form).
    int getUseProxy(bool& value) const;
    int getIntegritySQLProxy(unsigned long& clientId) const;
    int getIntegritySQLServer(std::string& instance) const;
    int getUserNameforProxyServer(std::string& user) const;
    int getUserPasswordforProxyServer(std::string& password) const;
    // The text of a code these getters return.
    static std::string getErrorText(int code);

private:
    int GetSwitch(const std::string& key, bool& value) const;

    ApplProperties m_properties;
    ApplBackupContent m_content;
};
