// CSQLCheckReadnessInstance: readiness checks of a client and an instance.
#include "JxSQLCommon/records/CSQLCheckReadnessInstance.h"

#include <unistd.h>

#include <algorithm>
#include <iterator>

#include "JXAppMgr/JXClient.h"
#include "JXAppMgr/MSSQLAuthentication.h"
#include "JxLib/JXPassword.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXString.h"

namespace {
constexpr int32_t kSqlLoginFailed = 304;
constexpr int32_t kJobResultsUnusable = 305;
constexpr int32_t kClusterInvalid = 306;
}  // namespace

CWzError CSQLCheckReadnessInstance::checkIfJRAccessble() {
    const unsigned long clientId = static_cast<unsigned long>(m_clientId);
    std::string directory;
    if (JXClient(m_clientId).getjobResultDirectory(directory) != 0) {
        EV_ERROR(*this, "Failed to get Job reslut directory, ClientId [%lu].", clientId);
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kJobResultsUnusable,
                                          "Failed to get Job reslut directory, ClientId [%lu].", clientId);
    }
    if (::access(directory.c_str(), R_OK | W_OK) != 0) {
        EV_ERROR(*this, "Job reslut directory [%s] is not either writable or readable.", directory.c_str());
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kJobResultsUnusable,
                                          "Job reslut directory [%s] is not either writable or readable.",
                                          directory.c_str());
    }
    return CWzError::Success();
}

CWzError CSQLCheckReadnessInstance::checkIfSARoleOnSQL(const std::string& sqlInstanceName) {
    const unsigned long instanceId = static_cast<unsigned long>(m_instanceId);
    unsigned long authType = 0;
    std::string userName;
    std::string storedPassword;
    int status = 0;
    const int result = MSSQLAuthentication().getMSSQLAuthentication(m_instanceId, authType, userName, storedPassword,
                                                                    false, &status, nullptr);
    if (result != 0 || authType == 0) {
        EV_DEBUG(*this, 1, "No authentication information at higher levels for instance [%lu].", instanceId);
        EV_DEBUG(*this, 1, "Using Local System authentication.");
    }

    // The login check needs the plain password; the model stores it encoded.
    std::string password;
    if (storedPassword.empty()) {
        EV_DEBUG(*this, 2, "EMPTY password..");
    } else {
        wchar_t clear[512] = {};
        if (JXPassword::decrypt(storedPassword, clear, 511) == 0)
            EV_ERROR(*this, "Failed to decrypt the password of instance [%lu].", instanceId);
        else
            password = FXString::ToString(std::wstring(clear));
        std::fill(std::begin(clear), std::end(clear), L'\0');
    }

    CsqlDMO dmo;
    if (!dmo.verifyUser(userName, password, sqlInstanceName)) {
        EV_ERROR(*this, "Failed to verify the user [%s] with SA role for instance id [%lu]", userName.c_str(),
                 instanceId);
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kSqlLoginFailed,
                                          "User verification failed for the instance [%lu] with error [%ls].",
                                          instanceId, dmo.getErrorString().c_str());
    }
    return CWzError::Success();
}

CWzError CSQLCheckReadnessInstance::checkIfClusterValid() {
    const unsigned long clientId = static_cast<unsigned long>(m_clientId);
    std::string hostName;
    const int result = JXClient(m_clientId).getNetworkHostname(hostName);
    if (result != 0) {
        EV_ERROR(*this, "Failed to get host name for client [%lu] with error [%d]", clientId, result);
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kClusterInvalid,
                                          "Failed to get host name for client[%lu] with error[%d]", clientId, result);
    }
    if (verifyInstanceClustered(hostName, static_cast<unsigned long>(m_instanceId))) {
        EV_DEBUG(*this, 1, "SQL cluster instance [%lu] is validated part of cluster [%s].",
                 static_cast<unsigned long>(m_instanceId), hostName.c_str());
        return CWzError::Success();
    }
    EV_ERROR(*this, "Failed to find SQL instances part of cluster [%s].", hostName.c_str());
    return FXErrorUtil::ErrorJXResult(FXCODELOC, kClusterInvalid, "Failed to find SQL instances part of cluster [%s].",
                                      hostName.c_str());
}

bool CSQLCheckReadnessInstance::isSqlInstanceClustered(const std::string& /*instanceName*/,
                                                       std::string& /*clusterName*/, int /*flags*/, bool /*refresh*/) {
    return false;
}

bool CSQLCheckReadnessInstance::verifyInstanceClustered(const std::string& /*hostName*/,
                                                        unsigned long /*instanceId*/) {
    return false;
}
