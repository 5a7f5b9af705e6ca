// CSQLCommon: construction, the default virtual operations, the restore link,
// quit polling and the small job-state queries.
#include "JxSQLCommon/jobbase/CSQLCommon.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <exception>
#include <new>
#include <string_view>

#include "JobResults/StoreResults.h"
#include "JxJobClient/JXJobClient.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JobRegistration.h"
#include "JxSession/CJxNetwork.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFormat.h"

const std::string CSQLCommon::FULLCOLLECTFILENAME = "FullDBList.jxf";
const std::string CSQLCommon::COLLECTFILEMAP = "CollectFileMap.jxf";
std::string CSQLCommon::COLLECTFILENAME;

namespace {

// The number made of the leading decimal digits of `text` (0 when there are
// none). False when the digits do not fit 64 bits.
bool LeadingDecimal(std::string_view text, uint64_t& value) {
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        unsigned digit = static_cast<unsigned>(c - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

bool IsOffsetFlag(std::string_view piece) { return piece.size() == 2 && piece[0] == '-' && (piece[1] | 0x20) == 'o'; }

}  // namespace

CSQLCommon::CSQLCommon() : m_logger("JxSQLCommon") { m_refTime = ChangeRefTime(0x7000); }

CSQLCommon::~CSQLCommon() {
    // The job-manager clients and the job-results object belong to the
    // registration object.
    m_pJobClnt = nullptr;
    m_pJobCtrlClnt = nullptr;
    m_pRstJobClnt.reset();
    delete m_pJobRegistration;
    m_pJobRegistration = nullptr;
    delete m_pMasterConnection;
    m_pMasterConnection = nullptr;
}

bool CSQLCommon::jxImpersonateUser(std::string&) { return true; }

bool CSQLCommon::closeJobResults() { return m_pJobResults != nullptr && m_pJobResults->closeFile(); }

bool CSQLCommon::initializeBackup(BackupOptionsParser& parser) {
    bool registered = false;
    return initializeBackup(parser, registered);
}

char CSQLCommon::getSqlBackupType(bool) { return 'D'; }

uint64_t CSQLCommon::getCollectFileOffset() {
    uint64_t offset = 0;
    if (!m_fullRestartString.empty() && !LeadingDecimal(m_fullRestartString, offset)) {
        EV_WARN(m_logger, "Restart string [%s] is out of range; restarting from the beginning.",
                m_fullRestartString.c_str());
        offset = 0;
    }
    return offset;
}

bool CSQLCommon::isUpdateInstanceVersionNeeded() { return true; }

bool CSQLCommon::getDatabaseId(std::string, uint64_t&) { return true; }

bool CSQLCommon::ProxySweep() const { return false; }

bool CSQLCommon::CallGetAgentDirectory() const { return true; }

CWzError CSQLCommon::CreateRestoreObject(SQL_RST_JOB_CLIENT_TYPE clientType) {
    if (m_pRstJobClnt) return CWzError::Success();
    m_pRstJobClnt = std::shared_ptr<SqlRstJobClient>(new (std::nothrow) SqlRstJobClient());
    if (!m_pRstJobClnt) return FXErrorUtil::ErrorWin32(FXCODELOC, 14, "Out of memory");
    if (clientType & 1) {
        CWzError err = m_pRstJobClnt->Create();
        if (err.IsError()) {
            m_pRstJobClnt.reset();
            EV_ERROR(m_logger, "Failed to create sub object, restore update object");
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Failed to create sub object");
        }
    }
    return CWzError::Success();
}

bool CSQLCommon::quit() {
    if (m_pJobCtrlClnt == nullptr) return false;
    if (m_pJobCtrlClnt->checkQuitFlag()) EV_INFO(m_logger, "Received quit flag from job manager");
    return m_pJobCtrlClnt->checkQuitFlag();
}

int CSQLCommon::getBkpType() const {
    switch (m_bkpPhase) {
        case 2:
            return 2;
        case 3:
            return 4;
        default:
            return 1;
    }
}

uint64_t CSQLCommon::getCurrentCollectOffset() {
    uint64_t largest = 0;
    if (m_pJobClnt == nullptr) return 0;
    try {
        std::string restart = m_pJobClnt->getRestartString(0);
        EV_DEBUG(m_logger, 1, "RESTART STRING = %s", restart.c_str());
        if (restart.empty()) return 0;
        std::string_view rest(restart);
        while (!rest.empty()) {
            size_t blank = rest.find(' ');
            std::string_view piece = rest.substr(0, blank);
            rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
            if (IsOffsetFlag(piece)) continue;
            uint64_t value = 0;
            if (!LeadingDecimal(TrimBlanks(piece), value)) {
                EV_WARN(m_logger, "Restart offset [%.*s] is out of range and ignored.", static_cast<int>(piece.size()),
                        piece.data());
                continue;
            }
            if (value > largest) largest = value;
        }
        EV_DEBUG(m_logger, 1, "Collect file offset to %" PRIu64 ".", largest);
    } catch (const std::exception&) {
        EV_WARN(m_logger, "Unknown exception caught with last error [%d].", errno);
    }
    return largest;
}

void CSQLCommon::logDatabaseBackupStatus(const std::string& databaseName, bool, bool count) {
    if (count) ++m_loggedDbCount;
    if (m_pJobResults == nullptr) return;
    // The store answers false when the line was written.
    if (m_pJobResults->putLine(databaseName, true)) {
        EV_WARN(m_logger, "Failed to log the database [%s] into backup.out", databaseName.c_str());
    } else {
        EV_DEBUG(m_logger, 1, "Successfully logged the database [%s] into backup.out", databaseName.c_str());
    }
}

int CSQLCommon::removeDBFromJobResults(const std::string&) { return 0; }

void CSQLCommon::cleanup(int) {}

std::string CSQLCommon::convertIDToString(int id) { return wz::Format("%d", id); }

std::string CSQLCommon::convertIDToString(uint64_t id) { return wz::Format("%" PRIu64, id); }

void CSQLCommon::getErrorDescription(const int& errnoValue, std::string& text) {
    char buffer[256] = {};
    // The GNU form returns the text, which may or may not be in the buffer.
    const char* description = ::strerror_r(errnoValue, buffer, sizeof buffer);
    text.assign(description, ::strnlen(description, sizeof buffer - 1));
}
