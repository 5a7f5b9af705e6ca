// Subclient properties from the application model.
#include "JXAppMgr/Subclient.h"

#include <limits>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/BackupContent.h"
#include "JXAppMgr/ChangeRefTime.h"

Subclient::Subclient(uint64_t subclientId) : m_id(subclientId) {}

std::string Subclient::Object() const { return AppModel::ObjectName("subclient", m_id); }

bool Subclient::exists() const { return AppModel::Exists(Object()); }

int Subclient::getFilters(int kind, BackupContent& content, void* /*reserved*/, bool /*flag1*/, bool /*flag2*/,
                          bool /*flag3*/) const {
    if (!exists()) return JXAPPMGR_E_NO_OBJECT;
    content.clear();
    for (int n = 1;; ++n) {
        auto entry = AppModel::Get(Object(), "content" + std::to_string(kind) + "_" + std::to_string(n));
        if (!entry) return 0;
        content.add(*entry);
    }
}

int Subclient::lookupProperties(const ChangeRefTime&) const {
    // The model keeps one version of every object: what exists now is what
    // existed at any reference time.
    return exists() ? 0 : JXAPPMGR_E_NO_OBJECT;
}

int Subclient::getReadBufferSizeInKiloBytes(uint64_t& kiloBytes) const {
    return GetUnsigned("readBufferSizeKB", kiloBytes);
}

int Subclient::getSubclientName(std::string& name) const { return AppModel::GetText(Object(), "name", name); }

int Subclient::isSubclientAssociatedToDumpSweepSchedule(bool& associated) const {
    uint64_t number = 0;
    const int rc = GetUnsigned("dumpSweepSchedule", number);
    if (rc == JXAPPMGR_PROP_NOT_SET) {
        associated = false;
        return 0;
    }
    if (rc == 0) associated = number != 0;
    return rc;
}

int Subclient::isOnDemandSubclient(bool& value) const {
    uint64_t number = 0;
    const int rc = GetUnsigned("onDemand", number);
    if (rc == JXAPPMGR_PROP_NOT_SET) {
        value = false;
        return 0;
    }
    if (rc == 0) value = number != 0;
    return rc;
}

int Subclient::GetInt(const std::string& key, int& value) const {
    int64_t wide = 0;
    if (int rc = AppModel::GetSigned(Object(), key, wide); rc != 0) return rc;
    if (wide < std::numeric_limits<int>::min() || wide > std::numeric_limits<int>::max()) return JXAPPMGR_E_BAD_VALUE;
    value = static_cast<int>(wide);
    return 0;
}

int Subclient::GetUnsigned(const std::string& key, uint64_t& value) const {
    return AppModel::GetUnsigned(Object(), key, value);
}

int SubclientConf::getVDITimeout(unsigned long& seconds) const {
    uint64_t v = 0;
    if (int rc = GetUnsigned("vdiTimeout", v); rc != 0) return rc;
    seconds = v;
    return 0;
}

int SubclientConf::getSharepointContentDBServerName(std::string& server) const {
    return AppModel::GetText(Object(), "spContentDBServerName", server);
}

int SubclientConf::getSharepointContentDBName(std::vector<std::string>& names) const {
    if (!exists()) return JXAPPMGR_E_NO_OBJECT;
    for (int i = 1;; ++i) {
        auto name = AppModel::Get(Object(), "spContentDBName_" + std::to_string(i));
        if (!name) return 0;
        names.push_back(*name);
    }
}

int MsSqlSubclient::GetTunable_BlockSize(int& value) const { return GetInt("tunableBlockSize", value); }

int MsSqlSubclient::GetTunable_BufferCount(int& value) const { return GetInt("tunableBufferCount", value); }

int MsSqlSubclient::GetTunable_MaxTransferSize(int& value) const { return GetInt("tunableMaxTransferSize", value); }

int MsSqlSubclient::getSQLSpecialSubclientType(unsigned int& type) const {
    uint64_t v = 0;
    if (int rc = GetUnsigned("specialSubclientType", v); rc != 0) return rc;
    if (v > std::numeric_limits<unsigned int>::max()) return JXAPPMGR_E_BAD_VALUE;
    type = static_cast<unsigned int>(v);
    return 0;
}

int MsSqlSubclient::getSQLSubclientType(unsigned int& type) const {
    uint64_t v = 0;
    if (int rc = GetUnsigned("sqlSubclientType", v); rc != 0) return rc;
    if (v > std::numeric_limits<unsigned int>::max()) return JXAPPMGR_E_BAD_VALUE;
    type = static_cast<unsigned int>(v);
    return 0;
}

int MsSqlSubclient::GetSwitch(const std::string& key, bool& value) const {
    uint64_t v = 0;
    if (int rc = GetUnsigned(key, v); rc != 0) return rc;
    value = v != 0;
    return 0;
}

int MsSqlSubclient::isAutoDiscover(bool& value) const { return GetSwitch("autoDiscover", value); }

int MsSqlSubclient::isDisableAutoDiscovery(bool& value) const { return GetSwitch("disableAutoDiscovery", value); }

int MsSqlSubclient::isDisableLogConsistency(bool& value) const { return GetSwitch("disableLogConsistency", value); }

int MsSqlSubclient::getDataBkpStream(int& value) const { return GetInt("dataBkpStreams", value); }

int MsSqlSubclient::getLogBkpStream(int& value) const { return GetInt("logBkpStreams", value); }

int MsSqlSubclient::getBkpCOnversion(uint64_t& value) const { return GetUnsigned("bkpConversion", value); }

int MsSqlSubclient::isSnapBackupEnabled(bool& value) const { return GetSwitch("snapBackup", value); }

int MsSqlSubclient::getSnapEngine(uint64_t& value) const { return GetUnsigned("snapEngine", value); }

int MsSqlSubclient::getDDRRepSetId(uint64_t& value) const { return GetUnsigned("ddrRepSetId", value); }

int MsSqlSubclient::isBlockLevelBackupOptimizeRecovery(bool& value) const { return GetSwitch("blockLevel", value); }
