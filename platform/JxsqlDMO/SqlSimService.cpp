// The service unit and the single-user engine of a simulated instance.
#include "JxsqlDMO/SqlSimService.h"

#include <sys/stat.h>

#include "JxsqlDMO/SqlSimServerInfo.h"
#include "WzUtils/FXErrorUtil.h"

namespace {
constexpr const char* kServiceActive = "serviceActive";
constexpr const char* kUserMode = "userMode";
}  // namespace

CWzError SqlSimService::Start() {
    CWzError err = m_instance.SetServiceRunning(true);
    if (err.IsSuccess()) err = SqlSimServerInfo(m_instance).SetProperty(kUserMode, "multi");
    if (err.IsSuccess()) err = SqlSimServerInfo(m_instance).SetProperty(kServiceActive, "1");
    return err;
}

CWzError SqlSimService::Stop() {
    CWzError err = m_instance.SetServiceRunning(false);
    if (err.IsSuccess()) err = SqlSimServerInfo(m_instance).SetProperty(kServiceActive, "0");
    return err;
}

CWzError SqlSimService::IsActive(bool& active) {
    std::string value;
    CWzError err = SqlSimServerInfo(m_instance).Property(kServiceActive, "", value);
    if (err.IsError()) return err;
    if (!value.empty()) {
        active = value == "1";
        return CWzError::Success();
    }
    SimSqlStatement q = m_instance.Db().Prepare("SELECT running FROM server");
    if (!q.Step()) {
        if (q.Error().IsError()) return q.Error();
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "catalogue has no server");
    }
    active = q.Int(0) != 0;
    return CWzError::Success();
}

CWzError SqlSimService::SetEngine(bool running, bool singleUser) {
    CWzError err = m_instance.SetServiceRunning(running);
    if (err.IsSuccess()) err = SqlSimServerInfo(m_instance).SetProperty(kUserMode, singleUser ? "single" : "multi");
    return err;
}

CWzError SqlSimService::IsSingleUser(bool& singleUser) {
    std::string value;
    CWzError err = SqlSimServerInfo(m_instance).Property(kUserMode, "multi", value);
    if (err.IsSuccess()) singleUser = value == "single";
    return err;
}

CWzError SqlSimService::MasterSnapshot(int& state, int64_t& fileChangeNs) {
    SimSqlStatement q = m_instance.Db().Prepare(
        "SELECT d.state, f.physical_path FROM databases d JOIN files f ON f.database_id = d.id "
        "WHERE d.id = 1 ORDER BY f.id LIMIT 1");
    if (!q.Step()) {
        if (q.Error().IsError()) return q.Error();
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "master has no data file");
    }
    state = static_cast<int>(q.Int(0));
    struct stat st {};
    fileChangeNs = 0;
    if (::stat(q.Text(1).c_str(), &st) == 0) {
        fileChangeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return CWzError::Success();
}
