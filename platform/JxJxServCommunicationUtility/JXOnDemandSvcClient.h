// JXOnDemandSvcClient: a client of the central server's on-demand service.
//
// The log-dump code submits its service-level tasks through it; until that
// code exists the client carries no state.
#pragma once

class JXOnDemandSvcClient {
public:
    JXOnDemandSvcClient() = default;
};
