// Application readiness check of an instance (job-results directory and the
// SQL login's sysadmin role for a regular instance, the request's ids for a
// cloud database engine) and the cloud-credential validation request.
#include <strings.h>

#include "JXAppMgr/Instance.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/ApiMessages.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/CSQLCheckReadnessInstance.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/SqlXmlResponse.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFormat.h"

namespace {

using Entity = JxEntities::GenericEntity;

constexpr const char* kRegularEngine = "DataBase Engine";
constexpr const char* kAzureEngine = "Azure DataBase Engine";
constexpr const char* kAwsEngine = "Aws DataBase Engine";
constexpr const char* kAzureManagedEngine = "Azure Managed DataBase Engine";

bool SameType(const std::string& type, const char* name) { return strcasecmp(type.c_str(), name) == 0; }

// The model's name of an instance; empty when it has none.
std::string InstanceNameOf(unsigned long instanceId) {
    std::string name;
    if (MsSqlInstance(instanceId).getInstanceName(name) != 0) name.clear();
    return name;
}

}  // namespace

// Checks the ids a cloud validation request must carry.
CWzError IsValidCloudValidationRequest(App::ValidateSQLCloudCredentialsReq& request) {
    const CNMessageBase* entity = request.getObjectAccessor(App::ValidateSQLCloudCredentialsReq::kInstance);
    if (entity == nullptr || !entity->isSet(Entity::kInstanceId) ||
        static_cast<int32_t>(entity->getint64(Entity::kInstanceId)) < 1) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, 129, "Invalid instance details found for the request.");
    }
    if (!entity->isSet(Entity::kClientId) || static_cast<int32_t>(entity->getint64(Entity::kClientId)) < 1) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, 130, "Invalid client details found for the request.");
    }
    return CWzError::Success();
}

bool CSQLClientDll::RunSQLAppReadinessCheck(const std::string& requestXml, std::string& reply) {
    Api::SQLAppReadinessReq request;
    int e = request.unserialize(requestXml);
    if (e != kMsgOk) {
        std::string message = wz::Format("Failed to unserialize xml with error [%d]", e);
        EV_ERROR(m_event, "%s", message.c_str());
        reply = GetReadinessResp(118, message, "");
        return false;
    }
    std::string serverType = request.getstring(Api::SQLAppReadinessReq::kServerType);
    const CNMessageBase* entity = request.getObjectAccessor(Api::SQLAppReadinessReq::kInstance);
    unsigned long instanceId = entity ? static_cast<unsigned long>(entity->getint64(Entity::kInstanceId)) : 0;
    unsigned long clientId = entity ? static_cast<unsigned long>(entity->getint64(Entity::kClientId)) : 0;
    std::string instanceName = InstanceNameOf(instanceId);
    unsigned long roleInstanceId = instanceId;
    const CNMessageBase* roleEntity = request.getObjectAccessor(Api::SQLAppReadinessReq::kRoleInstance);
    if (roleEntity != nullptr && roleEntity->getint64(Entity::kInstanceId) > 0) {
        roleInstanceId = static_cast<unsigned long>(roleEntity->getint64(Entity::kInstanceId));
    }
    std::string roleInstanceName = InstanceNameOf(roleInstanceId);

    CWzError error;
    if (SameType(serverType, kRegularEngine)) {
        error = ValidateRegularInstance(clientId, instanceId, roleInstanceName);
    } else if (SameType(serverType, kAzureEngine) || SameType(serverType, kAwsEngine) ||
               SameType(serverType, kAzureManagedEngine)) {
        App::ValidateSQLCloudCredentialsReq cloud;
        Entity cloudEntity;
        cloudEntity.setint64(Entity::kInstanceId, static_cast<int64_t>(instanceId));
        cloudEntity.setint64(Entity::kClientId, static_cast<int64_t>(clientId));
        cloud.setObjectAccessor(App::ValidateSQLCloudCredentialsReq::kInstance, cloudEntity);
        error = ValidateSQLCloudInstanceConfig(cloud);
    }
    if (error.IsSuccess()) return true;

    std::string machine = JXPlatformInfo().getPhysicalMachine();
    std::string message = wz::Format("Application readiness failed for instance [%s] on the machine [%s]",
                                     instanceName.c_str(), machine.c_str());
    EV_ERROR(m_event, "%s", message.c_str());
    reply = GetReadinessResp(FXErrorUtil::GetJXResult(error), message, error.AsString());
    return false;
}

std::string CSQLClientDll::GetReadinessResp(int code, const std::string& message, const std::string& detail) {
    Api::SQLAppReadinessResp response;
    CNMessageBase error(Api::SQLAppReadinessResp::kErrorModule, Api::SQLAppReadinessResp::kErrorMessage);
    error.setint64(Api::SQLAppReadinessResp::kErrorCode, code);
    error.setstring(Api::SQLAppReadinessResp::kErrorMessageText, message);
    response.setObjectAccessor(Api::SQLAppReadinessResp::kError, error);
    response.setstring(Api::SQLAppReadinessResp::kDetail, detail);
    std::string text;
    int e = response.serialize(text);
    if (e != kMsgOk && text.empty()) {
        EV_ERROR(m_event, "Failed to serialize error xml with error [%d].", e);
        text = wz::Format("<Api_SQLAppReadinessResp>%s</Api_SQLAppReadinessResp>",
                          SqlXmlFallbackDocument("error", "errorCode", code, "errorMessage", message).c_str());
    }
    return text;
}

CWzError CSQLClientDll::ValidateRegularInstance(unsigned long clientId, unsigned long instanceId,
                                                const std::string& instanceName) {
    CSQLCheckReadnessInstance check(clientId, instanceId);
    CWzError error = check.checkIfJRAccessble();
    if (error.IsError()) return error;
    return check.checkIfSARoleOnSQL(instanceName);
}

CWzError CSQLClientDll::ValidateSQLCloudInstanceConfig(App::ValidateSQLCloudCredentialsReq& request) {
    CWzError error = IsValidCloudValidationRequest(request);
    if (error.IsError()) return error.Push(FXCODELOC, "Invalid cloud validation request.");
    const CNMessageBase* entity = request.getObjectAccessor(App::ValidateSQLCloudCredentialsReq::kInstance);
    unsigned long instanceId = static_cast<unsigned long>(entity->getint64(Entity::kInstanceId));
    unsigned long clientId = static_cast<unsigned long>(entity->getint64(Entity::kClientId));
    std::string type;
    int code = 0;
    MsSqlInstance(instanceId).getServerType(type, code);
    if (SameType(type, kAzureEngine) || SameType(type, kAzureManagedEngine)) {
        error = ValidateAzureCloudInstanceConfig(instanceId, clientId);
    } else if (SameType(type, kAwsEngine)) {
        error = ValidateAwsCloudInstanceConfig(instanceId, clientId);
    }
    if (error.IsError()) return error.Push(FXCODELOC, "Validation failure");
    return CWzError::Success();
}

CWzError CSQLClientDll::ValidateAzureCloudInstanceConfig(unsigned long&, unsigned long&) {
    return CWzError::Success();
}

CWzError CSQLClientDll::ValidateAwsCloudInstanceConfig(unsigned long&, unsigned long&) { return CWzError::Success(); }

int CSQLClientDll::ValidateSQLCloudCredentials(std::string&, std::string& reply) {
    reply.clear();
    return 0;
}
