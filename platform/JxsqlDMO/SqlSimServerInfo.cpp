// Server-wide facts of a simulated instance: version, edition, product level
// and cluster name.
#include "JxsqlDMO/SqlSimServerInfo.h"

#include <strings.h>

#include "WzUtils/FXErrorUtil.h"

namespace {
constexpr size_t kMaxTextLength = 128;
}

CWzError SqlSimServerInfo::EnsureTable() {
    return m_instance.Db().Exec(
        "CREATE TABLE IF NOT EXISTS server_properties(key TEXT PRIMARY KEY, value TEXT NOT NULL)");
}

CWzError SqlSimServerInfo::SetVersion(const std::string& version) {
    if (version.size() > kMaxTextLength) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "version text longer than %zu characters",
                                         kMaxTextLength);
    }
    return m_instance.Db().Prepare("UPDATE server SET version = ?").Bind(1, version).Run();
}

CWzError SqlSimServerInfo::Version(std::string& version) {
    SimSqlStatement q = m_instance.Db().Prepare("SELECT version FROM server");
    if (!q.Step()) {
        if (q.Error().IsError()) return q.Error();
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "catalogue has no server");
    }
    version = q.Text(0);
    return CWzError::Success();
}

CWzError SqlSimServerInfo::SetProperty(const std::string& key, const std::string& value) {
    if (key.empty() || key.size() > kMaxTextLength || value.size() > kMaxTextLength) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "invalid server property [%s]", key.c_str());
    }
    CWzError err = EnsureTable();
    if (err.IsError()) return err;
    return m_instance.Db().Prepare("INSERT OR REPLACE INTO server_properties VALUES(?, ?)").Bind(1, key).Bind(2, value).Run();
}

CWzError SqlSimServerInfo::Property(const std::string& key, const std::string& fallback, std::string& value) {
    CWzError err = EnsureTable();
    if (err.IsError()) return err;
    SimSqlStatement q = m_instance.Db().Prepare("SELECT value FROM server_properties WHERE key = ?");
    q.Bind(1, key);
    if (q.Step()) {
        value = q.Text(0);
        return CWzError::Success();
    }
    if (q.Error().IsError()) return q.Error();
    value = fallback;
    return CWzError::Success();
}

CWzError SqlSimServerInfo::DateFormat(unsigned long& kind) {
    std::string text;
    CWzError err = Property(kDateFormat, "mdy", text);
    if (err.IsError()) return err;
    if (strcasecmp(text.c_str(), "mdy") == 0) {
        kind = 1;
    } else if (strcasecmp(text.c_str(), "dmy") == 0) {
        kind = 2;
    } else if (strcasecmp(text.c_str(), "ymd") == 0) {
        kind = 3;
    } else {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Unknown date format [%s].", text.c_str());
    }
    return CWzError::Success();
}
