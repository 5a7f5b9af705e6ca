// CSQLBackup: the integrity check in the backup program started on the
// integrity proxy ("-integcheck"). It connects back to the source job,
// receives the initialisation and attach records, takes on the proxy
// account, registers as a process of the source's job, runs the check steps
// here, unmounts the snapshots and answers with one response, whatever
// happened after the connection was made. The attach records come from
// another machine: names and paths with control characters are refused.
#include <cinttypes>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JobResults/StoreResults.h"
#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxJobClient/JobRegistration.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/AttachEntryCheck.h"
#include "JxSQLCommon/records/SqlIntegrityCheckRecords.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsDatabuf_v2.h"

namespace {

constexpr int kImpersonationError = 1000;
constexpr size_t kRequestBufferBytes = 8144;

// The registration's command line from the proxy's own arguments
// ("-a <cell>:<app> -j <job> -jt <token> ..."); empty when one is missing.
std::vector<std::string> RegistrationWords(int argc, char** argv) {
    std::string cellAndApp, job, token;
    for (int i = 1; argv != nullptr && i + 1 < argc; ++i) {
        if (argv[i] == nullptr || argv[i + 1] == nullptr) continue;
        if (std::strcmp(argv[i], "-a") == 0) cellAndApp = argv[i + 1];
        if (std::strcmp(argv[i], "-j") == 0) job = argv[i + 1];
        if (std::strcmp(argv[i], "-jt") == 0) token = argv[i + 1];
    }
    const size_t colon = cellAndApp.find(':');
    if (colon == std::string::npos || job.empty() || token.empty()) return {};
    return {"SQLBackup", "-j", job, "-token", token, "-cell", cellAndApp.substr(0, colon), "-a",
            cellAndApp.substr(colon + 1)};
}

}  // namespace

bool CSQLBackup::performIntegrityCheck(int argc, char** argv) {
    using I = SQLPmn::SQLIntegrityCheckInit;
    bool result = true;
    bool connected = false;
    bool mounted = false;
    CJxNetwork session;
    SQLPmn::SQLIntegrityCheckInit init;
    SQLPmn::AttachDBMsg message;
    SQLPmn::SQLIntegrityCheckResponse response;
    SMVolSnapInfo snaps;
    std::map<std::string, std::string> volumes;
    std::string text;
    try {
        SqlRegisterRecordCodecs();
        do {
            if (CWzError e = session.AttachBackToCaller(argc, argv, m_networkFlag); e.IsError()) {
                unsigned long code = 0;
                std::string error;
                (void)session.GetLastErrorGenericText(&code, error, 0);  // only the code is reported
                EV_ERROR(m_logger, "Error initializing JXSession with SQLBackup.exe for integrity check. Error : %lu",
                         code);
                result = false;
                break;
            }
            connected = true;
            if (!readIntegCheckInitMsg(session, init)) {
                EV_ERROR(m_logger, "Failed to receive init message from source.");
                result = false;
                break;
            }
            const std::string user = init.getstring(I::kProxyUser);
            setUserName(user);
            if (!user.empty()) {
                setPassword(init.getstring(I::kProxyPassword));
                if (!jxImpersonateUser(text)) {
                    EV_ERROR(m_logger, "Failed to Impersonate [%s]", text.c_str());
                    response.setint64(SQLPmn::SQLIntegrityCheckResponse::kErrorCode, kImpersonationError);
                    response.setstring(SQLPmn::SQLIntegrityCheckResponse::kErrorText, text);
                    result = false;
                    break;
                }
            }
            std::vector<std::string> words = RegistrationWords(argc, argv);
            std::vector<const char*> args;
            for (const std::string& w : words) args.push_back(w.c_str());
            BackupOptionsParser parser;
            if (words.empty() || parser.parse(static_cast<int>(args.size()), args.data()).IsError()) {
                EV_ERROR(m_logger, "Failed to register job with JM.");
                result = false;
                break;  // the source still gets its answer
            }
            delete m_pJobRegistration;
            m_pJobRegistration = new JobRegistration(parser);
            if (!m_pJobRegistration->registerJob()) {
                EV_ERROR(m_logger, "Failed to register job with JM.");
                result = false;
                break;  // the source still gets its answer
            }
            m_pJobCtrlClnt = m_pJobRegistration->getJobControllObject();
            m_pJobResults = m_pJobRegistration->getJobResultsObject();
            m_pBkpJobClnt = m_pJobRegistration->getBkpJobControllObject();
            m_pJobClnt = m_pJobRegistration->getJobClientObject();
            if (m_pJobResults != nullptr) m_jobResultsDirectory = m_pJobResults->getDirectory();

            if (!readIntegCheckDataMsg(session, message)) {
                EV_ERROR(m_logger, "Failed to receive data message from source.");
                result = false;
                break;
            }
            if (!AttachMessageIsPrintable(message)) {
                result = false;
                break;
            }
            std::string directory;
            if (GetJobresultsDir(directory, static_cast<uint64_t>(init.getint64(I::kJxCellId)),
                                 static_cast<uint64_t>(init.getint64(I::kApplicationId))) != 0) {
                EV_ERROR(m_logger, "Failed to get job results directory [%" PRIu64 "].",
                         static_cast<uint64_t>(init.getint64(I::kJobId)));
                result = false;
                break;
            }
            const std::string mountBase = directory + "/" + std::to_string(init.getint64(I::kJobId));
            if (quit()) {
                EV_ERROR(m_logger, "JM issued job termination.");
                result = false;
                break;
            }
            if (!mountSnapsForIntegrityCheck(init, snaps, mountBase, volumes)) {
                EV_ERROR(m_logger, "Failed to mount snaps on proxy.");
                result = false;
                break;
            }
            mounted = true;
            m_sServername = init.getstring(I::kCheckInstance);
            message.setstring(SQLPmn::AttachDBMsg::kInstanceName, m_sServername);
            std::vector<SQLPmn::AttachDB> databases;
            (void)message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, databases);  // unreadable: empty
            if (databases.empty()) {
                // Nothing to attach means nothing checked: never a pass.
                EV_ERROR(m_logger, "The attach message lists no database: nothing to check.");
                result = false;
                break;
            }
            if (!replaceFileNamesWithMountPath(message, volumes)) {
                EV_ERROR(m_logger, "Failed to replace original database filenames.");
                result = false;
                break;
            }
            if (!isSqlServerRunning(m_sServername)) {
                EV_ERROR(m_logger, "SQL services for instance [%s] is not running.", m_sServername.c_str());
                RaisePendingCause(kCauseCheckServiceDown, m_sServername);
                result = false;
                break;
            }
            if (!checkIfDatabaseFilesExists(message)) {
                EV_ERROR(m_logger, "Failed to check if database files exist.");
                result = false;
                break;
            }
            if (quit()) {
                EV_ERROR(m_logger, "JM issued job termination.");
                result = false;
                break;
            }
            if (!performSQLVersionCompatibilityCheck(m_sServername, static_cast<int>(init.getint64(I::kMajorVersion)),
                                                     static_cast<int>(init.getint64(I::kMinorVersion)),
                                                     static_cast<int>(init.getint64(I::kBuildNumber)),
                                                     init.getstring(I::kVersionText))) {
                result = false;
                break;
            }
            if (!attachDatabasesForIntegrityCheck(message)) {
                EV_ERROR(m_logger, "Integrity check operation failed.");
                result = false;
            }
        } while (false);
    } catch (...) {
        // Whatever failed, the snapshots are unmounted and the source answered.
        EV_ERROR(m_logger, "!!!Caught exception");
        result = false;
    }
    if (mounted && !JXSnapClientAPI::unmountVolumes(snaps)) {
        EV_ERROR(m_logger, "Failed to unmount snapshots");
        EV_DEBUG(m_logger, 1, "%s", snaps.dump().c_str());
        // Snapshots left mounted are a failure the source must hear of.
        result = false;
        if (!response.isSet(SQLPmn::SQLIntegrityCheckResponse::kErrorText)) {
            response.setstring(SQLPmn::SQLIntegrityCheckResponse::kErrorText, "Failed to unmount snapshots");
        }
    }
    if (connected) (void)sendIntegCheckRspMsg(session, result, response, text);  // it logs its failure
    return result;
}

bool CSQLBackup::AttachMessageIsPrintable(const SQLPmn::AttachDBMsg& message) {
    std::vector<SQLPmn::AttachDB> databases;
    (void)message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, databases);  // unreadable: empty, refused later
    bool printable = true;
    for (const SQLPmn::AttachDB& entry : databases) {
        if (!AttachEntryHasControlCharacter(entry)) continue;
        const std::string shown = ShowControlCharacters(entry.getstring(SQLPmn::AttachDB::kAttachName));
        EV_ERROR(m_logger, "The attach message names database [%s] or its files with a control character.",
                 shown.c_str());
        RaisePendingCause(kCauseCheckAttach, shown);
        printable = false;
    }
    return printable;
}

bool CSQLBackup::readMessages(CJxNetwork& session, jxsDatabuf_v2& buffer, unsigned long& code,
                              unsigned long& header) {
    (void)header;  // the host protocol header is not read here
    bool timedOut = false;
    if (session.ReceiveXDRMessage(&code, &buffer, nullptr, 0, static_cast<int>(m_networkTimeout), timedOut)
            .IsError()) {
        unsigned long errorCode = 0;
        std::string error;
        (void)session.GetLastErrorGenericText(&errorCode, error, 0);  // the code goes into the abort
        jxsStatus status{2, errorCode, 2};
        (void)session.AbortConnection(status, static_cast<int>(m_networkTimeout), m_networkFlag);  // ends anyway
        return false;
    }
    return true;
}

namespace {

// Reads one request record of `kind` into `message`; `what` names it in the log.
bool ReadRequest(CSQLBackup& job, CJxNetwork& session, uint32_t kind, CNMessageBase& message, const char* what,
                 EvEvent& logger) {
    std::vector<char> memory(kRequestBufferBytes, 0);
    auto* request = reinterpret_cast<SQLIntegrityCheckReq_t*>(memory.data());
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(memory.data(), static_cast<unsigned long>(memory.size()));
    unsigned long code = 0;
    unsigned long header = 0;
    if (!job.readMessages(session, buffer, code, header)) return false;
    if (code != kSqlIntegrityCheckReq) {
        EV_ERROR(logger, "Received [%lu] message instead of [%d]", code, static_cast<int>(kSqlIntegrityCheckReq));
        (void)CJxNetwork::FreeReceivedMessage(code, &buffer);  // nothing of it is kept
        return false;
    }
    bool ok = request->kind == kind;
    if (!ok) {
        EV_ERROR(logger, "Received a record of kind [%u] instead of [%u].", request->kind, kind);
    } else if (request->text == nullptr || request->text[0] == '\0') {
        // An empty record carries nothing to check: refused, not passed on.
        EV_ERROR(logger, "Received Null %s msg", what);
        ok = false;
    } else {
        EV_DEBUG(logger, 2, "Received [%lu]  [%s]", code, request->text);
        if (message.unserialize(request->text) != kMsgOk) {
            EV_ERROR(logger, "Failed to unserialize %s message [%s]", what, request->text);
            ok = false;
        }
    }
    (void)CJxNetwork::FreeReceivedMessage(code, &buffer);  // the message holds its own copy
    return ok;
}

}  // namespace

bool CSQLBackup::readIntegCheckInitMsg(CJxNetwork& session, SQLPmn::SQLIntegrityCheckInit& init) {
    return ReadRequest(*this, session, kIntegrityCheckInit, init, "SQLPmn::SQLIntegrityCheckInit", m_logger);
}

bool CSQLBackup::readIntegCheckDataMsg(CJxNetwork& session, SQLPmn::AttachDBMsg& message) {
    return ReadRequest(*this, session, kIntegrityCheckData, message, "SQLPmn::AttachDBMsg", m_logger);
}

bool CSQLBackup::sendIntegCheckRspMsg(CJxNetwork& session, bool passed, SQLPmn::SQLIntegrityCheckResponse& response,
                                      std::string&) {
    response.setint64(SQLPmn::SQLIntegrityCheckResponse::kStatus, passed ? 0 : 1);
    std::string text;
    if (response.serialize(text) != kMsgOk) {
        EV_ERROR(m_logger, "Failed to serialize SQLPmn::SQLIntegrityCheckResponse message");
        return false;
    }
    auto copy = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(copy.get(), text.c_str(), text.size() + 1);
    SQLIntegrityCheckResponse_t record;
    record.text = copy.get();
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(&record, sizeof record);
    EV_INFO(m_logger, "Sending response to source client.");
    if (session.SendXDRMessage(kSqlIntegrityCheckRsp, &buffer, 0, static_cast<int>(m_networkTimeout), m_networkFlag)
            .IsError()) {
        unsigned long code = 0;
        std::string error;
        (void)session.GetLastErrorGenericText(&code, error, 0);  // only the code is reported
        EV_ERROR(m_logger, "JXSession::sendMessage() returned error, code [%lu]", code);
        return false;
    }
    return true;
}
