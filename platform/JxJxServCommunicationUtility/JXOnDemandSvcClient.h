// JXOnDemandSvcClient: starts an on-demand service of a media agent and
// reaches it.
//
// SubmitTask takes a launch request (field 1 the client name, field 2 the
// service name), starts the service's program through the process runner
// (the program the service name resolves to, with "--target <instance>") and
// waits until the service has registered its instance as a network target;
// field 2 of the details then names that instance. Attach opens a session to
// the instance; every wait on the service, its session's too, is a wait on
// another process (wz::HelperWaitMs). Each started service answers one
// session and ends.
#pragma once

#include "WzUtils/CWzError.h"

class CJxNetwork;
class CNMessageBase;

class JXOnDemandSvcClient {
public:
    JXOnDemandSvcClient() = default;
    virtual ~JXOnDemandSvcClient() = default;

    virtual CWzError SubmitTask(const CNMessageBase& launchRequest, CNMessageBase& details);
    virtual CWzError Attach(const CNMessageBase& details, CJxNetwork& session);
};
