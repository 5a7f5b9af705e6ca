// SqlRstJobClient: binding of the job manager's restore client.
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"

#include <new>

#include "WzUtils/FXErrorUtil.h"

CWzError SqlRstJobClient::Create() {
    std::unique_ptr<JXRstJobClient> client(new (std::nothrow) JXRstJobClient());
    if (!client) return FXErrorUtil::ErrorWin32(FXCODELOC, 14, "Out of memory");
    m_created = std::move(client);
    m_client = m_created.get();
    return CWzError::Success();
}

CWzError SqlRstJobClient::Set(JXRstJobClient* client) {
    m_client = client;
    return CWzError::Success();
}
