// The engine's statement: set-up, start and end.
#include "JxSQLVDIBase/CJxSQLVDIBase.h"
#include "JxSQLVDIBase/VdiStatement.h"

namespace {

void Fail(VdiStatement& s, long code, const std::string& text) {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.outcome.failed = true;
    s.outcome.errorCode = code;
    s.outcome.errorText = text;
}

}  // namespace

bool CJxSQLVDIBase::Initialize() {
    Fail(*m_statement, -1, "The virtual-device engine is not available yet.");
    return false;
}

bool CJxSQLVDIBase::SetServerName(const std::string& instance, const std::string& database) {
    m_statement->server = instance;
    m_statement->database = database;
    return false;
}

bool CJxSQLVDIBase::StartVDIOperation() { return false; }

bool CJxSQLVDIBase::Finalize(bool stop) {
    if (stop) AbortOperation("The job was stopped.");
    JoinStatement();
    return false;
}

bool CJxSQLVDIBase::recoverOnly(const std::wstring&, const std::string&, const std::wstring&) { return false; }
