// JXBkpJobClient: the job manager's client of one backup job.
#pragma once

#include "JxJobClient/JXJobClient.h"

class JXBkpJobClient : public JXJobClient {
public:
    using JXJobClient::JXJobClient;
};
