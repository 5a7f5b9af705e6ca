// CSQLPmnContentFilters: database exclusion patterns.
#include "JxSQLCommon/records/CSQLPmnContentFilters.h"

#include "JXAppMgr/BackupContent.h"
#include "JXAppMgr/Subclient.h"
#include "JxLib/JXPlatformInfo.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXString.h"
#include "WzUtils/TPathMatch.h"

namespace {
constexpr int32_t kFiltersUnavailable = 1994;
// Content kind of a subclient's exclusion filters.
constexpr int kExclusionFilters = 3;
}  // namespace

CWzError CSQLPmnContentFilters::LoadBackupSelectionPatterns(Subclient* subclient) {
    m_exclusionPatterns.clear();
    m_excludedDatabases.clear();

    std::string setting;
    if (JXPlatformInfo().getString("MSSQLAgent", "sDBExclusionPatterns", setting)) {
        EV_DEBUG(*this, 1, "Registry key sDBExclusionPatterns is present");
        for (std::string& pattern : FXString::Split(setting, ":", FXString::SPLIT_KEEP_EMPTY))
            m_exclusionPatterns.push_back(std::move(pattern));
        return CWzError::Success();
    }

    if (subclient == nullptr) {
        EV_ERROR(*this, "Failed to get subclient");
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kFiltersUnavailable, "Failed to get subclient.");
    }

    BackupContent content;
    const int result = subclient->getFilters(kExclusionFilters, content, nullptr, true, true, false);
    if (result != 0) {
        EV_ERROR(*this, "Failed to get subclient filters with error [%d].", result);
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kFiltersUnavailable, "Failed to get subclient filters.");
    }
    for (const std::string& pattern : content.getList()) {
        EV_DEBUG(*this, 1, "Exclusion Pattern [%s] is present", pattern.c_str());
        m_exclusionPatterns.push_back(pattern);
    }
    return CWzError::Success();
}

bool CSQLPmnContentFilters::ShouldSelectDBForBackup(std::string dbName) {
    if (m_exclusionPatterns.empty()) return true;
    return !DBNameMatchesExclusionPattern(std::move(dbName));
}

bool CSQLPmnContentFilters::DBNameMatchesExclusionPattern(std::string dbName) {
    for (const std::string& pattern : m_exclusionPatterns) {
        if (!DBNameMatchesPattern(dbName, pattern)) continue;
        EV_WARN(*this, "Database [%s] is excluded from backup since it matches exlusion pattern [%s]",
                dbName.c_str(), pattern.c_str());
        m_excludedDatabases.push_back(dbName);
        return true;
    }
    return false;
}

bool CSQLPmnContentFilters::DBNameMatchesPattern(std::string dbName, std::string pattern) {
    TPathMatch matcher;
    matcher.Init(pattern, /*ignoreCase=*/true, /*stopAtSeparator=*/false);
    return matcher.match(dbName) != 0;
}
