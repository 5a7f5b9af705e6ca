// SqlRstJobClient: the restore job's link to the job manager's restore
// client. Every operation forwards to the bound client and does nothing when
// none is bound, so a job can report whether or not it was registered.
#pragma once

#include <memory>

#include "JxJobClient/JXRstJobClient.h"
#include "WzUtils/CWzError.h"

class SqlRstJobClient {
public:
    explicit SqlRstJobClient(JXRstJobClient* client = nullptr) : m_client(client) {}
    virtual ~SqlRstJobClient() = default;
    SqlRstJobClient(const SqlRstJobClient&) = delete;
    SqlRstJobClient& operator=(const SqlRstJobClient&) = delete;

    // Binds a new restore client of the job manager's default kind, which
    // the link owns (a client made by an earlier Create is freed); out of
    // memory is the Win32-style error 14.
    virtual CWzError Create();

    // The bound client (null when none); Set binds one (null unbinds).
    virtual JXRstJobClient* Get() { return m_client; }
    virtual CWzError Set(JXRstJobClient* client);

private:
    JXRstJobClient* m_client;
    std::unique_ptr<JXRstJobClient> m_created;
};
