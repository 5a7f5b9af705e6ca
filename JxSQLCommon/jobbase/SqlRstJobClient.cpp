// SqlRstJobClient: forwards to the bound restore client.
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"

#include <new>

#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/FXErrorUtil.h"

SqlRstJobClient::~SqlRstJobClient() = default;

CWzError SqlRstJobClient::Create() {
    std::unique_ptr<JXRstJobClient> client(new (std::nothrow) JXRstJobClient());
    if (!client) return FXErrorUtil::ErrorWin32(FXCODELOC, 14, "Out of memory");
    m_client = client.get();
    m_created = std::move(client);
    return CWzError::Success();
}

SqlRstJobClient& SqlRstJobClient::operator<<(const char* text) {
    if (m_client != nullptr && text != nullptr) *m_client << text;
    return *this;
}

SqlRstJobClient& SqlRstJobClient::operator<<(uint64_t number) {
    if (m_client != nullptr) *m_client << static_cast<unsigned long>(number);
    return *this;
}

bool SqlRstJobClient::complete(JXJobStatus status, JXJobStatusFor statusFor, JXPendingCause cause) {
    return m_client != nullptr && m_client->complete(status, statusFor, cause);
}

bool SqlRstJobClient::setPendingCauseAndCriticalEvent(int cause) {
    return m_client != nullptr &&
           m_client->setPendingCauseAndCriticalEvent(cause, 0, false, kPendingCauseEventType, false, 0, 0, 0, 0);
}

bool SqlRstJobClient::addJobProgress(int step) { return m_client != nullptr && m_client->addJobProgress(step); }

bool SqlRstJobClient::markJobAlive() { return m_client != nullptr && m_client->markJobAlive(); }

void SqlRstJobClient::setNumFailures2Add(int64_t count) {
    if (m_client != nullptr) m_client->setNumFailures2Add(count);
}

bool SqlRstJobClient::setNoDBsRestoredSoFar(int64_t count) {
    return m_client != nullptr && m_client->setNoDBsRestoredSoFar(count);
}

void SqlRstJobClient::setTotBytes2Xfer(int64_t bytes) {
    if (m_client != nullptr) m_client->setTotBytes2Xfer(bytes);
}

bool SqlRstJobClient::updateInfo(bool force, bool* changed) {
    return m_client != nullptr && m_client->updateInfo(force, changed);
}

bool SqlRstJobClient::setNoDBsToRestore(int64_t count) {
    return m_client != nullptr && m_client->setNoDBsToRestore(count);
}

void SqlRstJobClient::setActiveFile(const char* name) {
    if (m_client != nullptr) m_client->setActiveFile(name);
}

bool SqlRstJobClient::setCurrentDatabase(const char* name) {
    return m_client != nullptr && m_client->setCurrentDatabase(name);
}

void SqlRstJobClient::setNumSkipped2Add(int64_t count) {
    if (m_client != nullptr) m_client->setNumSkipped2Add(count);
}

void SqlRstJobClient::setUncompBytes2Add(int64_t bytes) {
    if (m_client != nullptr) m_client->setUncompBytes2Add(bytes);
}

bool SqlRstJobClient::setUnCompBytesSoFar(int64_t bytes) {
    return m_client != nullptr && m_client->setUnCompBytesSoFar(bytes);
}

bool SqlRstJobClient::getPreparedJobFromForeignJob(JobManager::PreparedJobsFromForeignReq& request,
                                                   JobManager::PreparedJobsFromForeignResp& reply) {
    return m_client != nullptr && m_client->getPreparedJobFromForeignJob(request, reply);
}

bool SqlRstJobClient::setPendingCauseAndEvent(int cause, int eventId) {
    return m_client != nullptr &&
           m_client->setPendingCauseAndEvent(cause, eventId, 0, false, kPendingCauseEventType, false, 0, 0, 0, 0);
}

void SqlRstJobClient::setToken(const char* token) {
    if (m_client != nullptr && token != nullptr) m_client->setToken(token);
}

JXJobClient* SqlRstJobClient::setRCID(int id) { return m_client != nullptr ? m_client->setRCID(id) : nullptr; }

JXRstJobClient* SqlRstJobClient::Get() { return m_client; }

CWzError SqlRstJobClient::Set(JXRstJobClient* client) {
    m_client = client;
    // A client Create made is no longer reachable through the link.
    if (m_created && m_created.get() != client) m_created.reset();
    return CWzError::Success();
}

void SqlRstJobClient::InfoEvent(int messageId) {
    if (m_client != nullptr) m_client->InfoEvent(static_cast<uint32_t>(messageId));
}

void SqlRstJobClient::WarningEvent(int messageId) {
    if (m_client != nullptr) m_client->MinorEvent(static_cast<uint32_t>(messageId));
}
