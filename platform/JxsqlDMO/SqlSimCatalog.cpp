// Opening, listing and service state of simulated instance catalogues.
#include "JxsqlDMO/SqlSimCatalog.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>

#include "WzUtils/FXErrorUtil.h"

CWzError SqlSimOpenCatalog(const SqlSimInstanceName& location, const char* kind, SimSqlDb& db, std::string& name,
                           bool* running) {
    CWzError err = db.OpenShared(location.CatalogPath());
    if (err.IsError()) {
        if (FXErrorUtil::GetErrNo(err) != ENOENT) return err;
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "%s instance [%s] does not exist", kind,
                                         location.FullName().c_str());
    }
    SimSqlStatement q = db.Prepare("SELECT name, running FROM server");
    if (!q.Step()) {
        CWzError e = q.Error().IsError() ? q.Error()
                                         : FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "catalogue has no server");
        db.Close();
        return e.Push(FXCODELOC, "cannot open %s instance [%s]", kind, location.FullName().c_str());
    }
    name = q.Text(0);
    if (running != nullptr) *running = q.Int(1) != 0;
    return CWzError::Success();
}

std::vector<std::string> SqlSimListInstances(const char* area) {
    std::vector<std::string> names;
    for (const std::string& path : SqlSimInstanceName::CatalogPaths(area)) {
        SimSqlDb db;
        if (db.OpenShared(path).IsError()) continue;
        SimSqlStatement q = db.Prepare("SELECT name FROM server");
        if (q.Step()) names.push_back(q.Text(0));
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool SqlSimOnHost(const std::string& instanceName, const std::string& host) {
    std::string nameHost = instanceName.substr(0, instanceName.find('/'));
    return host.empty() || strcasecmp(nameHost.c_str(), host.c_str()) == 0;
}

CWzError SqlSimCheckRunning(SimSqlDb& db, const std::string& name, const char* kind) {
    SimSqlStatement q = db.Prepare("SELECT running FROM server");
    if (!q.Step()) {
        return q.Error().IsError() ? q.Error()
                                   : FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "catalogue has no server");
    }
    if (q.Int(0) == 0) return SqlSimNotRunning(name, kind);
    return CWzError::Success();
}

CWzError SqlSimNotRunning(const std::string& name, const char* kind) {
    return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "The %s service of instance [%s] is not running.", kind,
                                     name.c_str());
}
