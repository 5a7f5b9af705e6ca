// CSQLBackup: construction and destruction of the backup job, the unit's
// names, and the free helpers the job and the restore job share.
#include "JxSQLCommon/backup/CSQLBackup.h"

#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>

#include "JxJobClient/JXJobClient.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSession/CJxNetwork.h"
#include "WzUtils/FXString.h"

const std::string CSQLBackup::DDRCOLLECTFILENAME = "DDR_";
const std::string CSQLBackup::DIFFCOLLECTFILENAME = "DiffDBList.jxf";
const std::string CSQLBackup::LOGCOLLECTFILENAME = "LogDBList.jxf";
const std::string CSQLBackup::SI_FULL_COLL_FILE = "JXSQLStreamInfo_FULL.info";
const std::string CSQLBackup::SI_DIFF_COLL_FILE = "JXSQLStreamInfo_DIFF.info";
const std::string CSQLBackup::SI_LOG_COLL_FILE = "JXSQLStreamInfo_LOG.info";

CSQLBackup::CSQLBackup() {
    m_isSnapBackup = false;
    m_useMsftProvider = false;
    m_isDDRSnapshot = false;
    m_pMasterConnection = nullptr;
}

CSQLBackup::~CSQLBackup() {
    m_pParser = nullptr;  // the program owns it
    for (auto& entry : m_conversionMap) {
        delete[] entry.second.databaseName;
        entry.second.databaseName = nullptr;
    }
    m_rbsBlobPaths.clear();
    cleanupSessionForBackupMetaDataUpdate(&m_pMetadataConnection);
}

void CSQLBackup::cleanupSessionForBackupMetaDataUpdate(CJxNetwork** connection) {
    if (connection == nullptr || *connection == nullptr) return;
    if ((*connection)->IsConnected()) {
        CSQLClientDll defaults;
        bool flag = false;
        const CWzError error =
            (*connection)->Disconnect(static_cast<int>(defaults.GetSQLSessionTimeout(0)), flag);
        if (error.IsError()) EV_WARN(m_logger, "Failed to disconnect the metadata session: %s", error.GetMessage().c_str());
    }
    delete *connection;
    *connection = nullptr;
}

std::string CSQLBackup::CollectFilePath() const { return m_jobResultsDirectory + "/" + CSQLCommon::COLLECTFILENAME; }

void CSQLBackup::RaisePendingCause(int cause, const std::string& argument) {
    if (m_pJobClnt == nullptr) return;
    *m_pJobClnt << argument.c_str();
    RaisePendingCause(cause);
}

void CSQLBackup::RaisePendingCause(int cause) {
    if (m_pJobClnt == nullptr) return;
    (void)m_pJobClnt->setPendingCauseAndCriticalEvent(cause, 0, false, 300, false, 0, 0, 0, 0);
}

bool CSQLBackup::isPromoteToFullSet() const { return m_bkpPhase == JXSQL_BACKUP_LOG && m_bPromoteToFull; }

bool CSQLBackup::SetEnvironmentVariable(const char* name, const char* value) {
    if (name == nullptr || value == nullptr || *name == '\0' || std::strchr(name, '=') != nullptr) return false;
    // setenv keeps its own copy, so a replaced value is not left behind.
    return setenv(name, value, 1) == 0;
}

bool CSQLBackup::compareNoCase(std::string first, std::string second) {
    const std::wstring a = FXString::ToWstring(first);
    const std::wstring b = FXString::ToWstring(second);
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const wint_t x = std::towlower(static_cast<wint_t>(a[i]));
        const wint_t y = std::towlower(static_cast<wint_t>(b[i]));
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}
