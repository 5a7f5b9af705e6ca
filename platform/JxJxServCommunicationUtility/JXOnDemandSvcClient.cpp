// JXOnDemandSvcClient: launch through the process runner, attach over loopback.
#include "JxJxServCommunicationUtility/JXOnDemandSvcClient.h"

#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>

#include "JxLib/JxProcess.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsTargets.h"
#include "Messages/CNMessageBase.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzClock.h"

namespace {

constexpr int64_t kStartTimeoutMs = 600000;  // platform time for the service to start and register
constexpr uint32_t kPollMs = 50;
constexpr int kAttachTimeoutSeconds = 60;
std::atomic<unsigned> g_instances{0};

bool IsPlainName(const std::string& name) {
    return !name.empty() && name.find_first_of(" \t\n/") == std::string::npos;
}

}  // namespace

CWzError JXOnDemandSvcClient::SubmitTask(const CNMessageBase& launchRequest, CNMessageBase& details) {
    const std::string client = launchRequest.getstring(1, 1);
    const std::string service = launchRequest.getstring(2, 2);
    if (client.empty() || !IsPlainName(service)) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "Launch request needs a client and a service");
    }
    const std::string instance =
        service + "." + std::to_string(::getpid()) + "." + std::to_string(g_instances.fetch_add(1) + 1);
    const std::string command = service + " --target " + instance;   // the runner resolves the program
    std::string error;
    if (JxProcess::StartProcess("", command, error, 0) != 1) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Cannot start %s: %s", service.c_str(), error.c_str());
    }
    const int64_t deadline = wz::ClockMs() + wz::HelperWaitMs(kStartTimeoutMs);
    uint16_t port = 0;
    while (jxsResolveTarget(instance, port).IsError()) {
        if (wz::ClockMs() >= deadline) {
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "%s did not come up", instance.c_str());
        }
        WZSLEEP_InTeRnAl(kPollMs);
    }
    details.setstring(2, 2, instance);
    return CWzError::Success();
}

CWzError JXOnDemandSvcClient::Attach(const CNMessageBase& details, CJxNetwork& session) {
    const std::string instance = details.getstring(2, 2);
    if (instance.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "No service instance");
    jxsExecuteRemoteDllType descriptor;
    std::strncpy(descriptor.libraryName, instance.c_str(), sizeof descriptor.libraryName - 1);
    std::strncpy(descriptor.entryName, "OnDemandService", sizeof descriptor.entryName - 1);
    // The service is a program this one started: so are all the session's waits.
    session.SetPeerIsHelperProcess();
    bool timedOut = false;
    return session.Attach_RemoteDLL(instance, &descriptor, nullptr, kAttachTimeoutSeconds, timedOut);
}
