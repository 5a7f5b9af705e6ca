// StartSnapRestore: the indexed snapshot restore session (see the header).
#include "JxSQLCommon/restore/StartSnapRestore.h"

#include <strings.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <utility>

#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JXRstJobClient.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSession/CJxNetwork.h"
#include "JxSnapRestoreHandler/SnapRestoreHelper.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFormat.h"

namespace {

struct OptionName {
    uint64_t bit;
    const char* name;
};

// The restore options by name, in the order they are printed.
constexpr OptionName kOptionNames[] = {
    {0x1, "ER_BROWSE"},
    {0x2, "ER_WILDCARD"},
    {0x4, "ER_NORECURSE"},
    {0x8, "ER_ALLVERSION"},
    {0x10, "ER_NOIMAGE"},
    {0x20, "ER_CURRENTTIME"},
    {0x40, "ER_UNCONDITIONAL"},
    {0x80, "ER_PRESERVE_LEVEL"},
    {0x100, "ER_STRIP_LEVEL"},
    {0x200, "ER_INPLACEMENT"},
    {0x400, "ER_CLIENTBROWSE"},
    {0x1000, "ER_RESTORE_ACLS"},
    {0x2000, "ER_DOT_BROWSE"},
    {0x4000, "ER_SYNTHETIC_FULL"},
    {0x8000, "ER_RECOVER_WAIT"},
    {0x20000, "ER_RECOVER_REFRESH_BACKUP"},
    {0x40000, "ER_RECOVER_POINT_IN_TIME"},
    {0x1000000, "ER_SYSTEM_STATE"},
    {0x4000000, "ER_FILE_SYSTEM"},
    {0x8000000, "ER_RECREATE_MOUNT_POINTS"},
    {0x20000000, "ER_SNAPSHOT"},
    {0x80000000, "ER_DISASTER_RECOVERY"},
    {0x800000000, "ER_SKIP_IF_EXISTS"},
    {0x1000000000, "ER_RUN_POSTCOMMAND_ALWAYS"},
    {0x2000000000, "ER_INDEX_FREE_RESTORE"},
    {0x4000000000, "ER_MEDIA_PREDICTION"},
    {0x400000000000, "ER_RESTORE_ACLS_ONLY"},
    {0x4000000000000000, "ER_ONE_TOUCH"},
};

MsgJobProgress_5_9 To5_9(const MsgJobProgress& r) {
    MsgJobProgress_5_9 wide;
    wide.totalFiles = r.totalFiles;
    wide.succeeded = r.succeeded;
    wide.skipped = r.skipped;
    wide.failed = r.failed;
    wide.compressedBytes = r.compressedBytes;
    wide.uncompressedBytes = r.uncompressedBytes;
    wide.isFinal = r.isFinal;
    return wide;
}

// How much a counter grew since the last report, as the job manager's
// signed count.
int64_t Growth(uint64_t now, uint64_t before) {
    if (now <= before) return 0;
    return static_cast<int64_t>(std::min<uint64_t>(now - before, INT64_MAX));
}

int ClampPercent(double percent) {
    if (!(percent > 0)) return 0;
    return percent >= 100 ? 100 : static_cast<int>(percent);
}

}  // namespace

StartSnapRestore::StartSnapRestore() { setDebugPrefix("STARTRESTORE"); }

StartSnapRestore::~StartSnapRestore() {
    if (m_connected) disconnect();
}

bool StartSnapRestore::Initialize(FSIndexRestoreInit& init, std::string& error) {
    error.clear();
    m_helper = std::make_unique<SnapRestoreHelper>();
    m_init = init;
    m_debugLog.setJobId(m_init.jobId);
    if (m_helper->init(m_init) != 0) {
        error = "Failed to initialize the indexed restore session.";
        debug(1, "%s", error.c_str());
        return false;
    }
    return true;
}

bool StartSnapRestore::onMsgRestore(std::string& error) {
    error.clear();
    auto stepFailed = [&](const std::string& text) {
        debug(1, "%s", text.c_str());
        error = text;
        if (m_connected) disconnect();
        return false;
    };
    if (m_helper == nullptr) return stepFailed("The indexed restore session was not initialized.");
    for (const std::string& path : m_init.paths) {
        if (path.empty()) return stepFailed("An empty path cannot be restored.");
    }
    if (!m_helper->connectToFSIndexRestore()) return stepFailed("Failed to connect to fsindexrestore process on MA.");
    m_connected = true;
    m_session = m_helper->getJXSession();
    if (!m_helper->initFSIndexRestore()) return stepFailed("Failed to initialize fsindexrestore process on MA.");
    for (const std::string& path : m_init.paths) {
        // Paths are sent rooted; one that already is keeps its single "/".
        const std::string rooted = path.front() == '/' ? path : "/" + path;
        if (!m_helper->restorePath(rooted, m_init.restoreLevel)) {
            return stepFailed("Failed to request the restore of [" + rooted + "] from fsindexrestore.");
        }
    }
    if (!m_helper->restoreFromSnap()) return stepFailed("restoreFromSnap API failed.");

    debug(2, "Before feedbackProc");
    feedbackProc(m_sourcePaths, false);
    debug(2, "After feedbackProc");
    if (m_connected) {
        debug(1, "Disconnecting JXSession");
        disconnect();
    }
    if (m_stopped) {
        debug(1, "Job has been stopped");
    } else if (m_stopSentUnacknowledged) {
        debug(1, "Job has been stopped (unacknowledged by FSIndexedRestore)");
    }
    if (succeeded()) return true;
    error = m_failure.empty() ? "The indexed restore did not end." : m_failure;
    return false;
}

bool StartSnapRestore::succeeded() const {
    // A session succeeds only by the media agent's end of the restore (or a
    // partial end the caller asked for); every other way out of the loop is
    // a failure, as is a job failure reported on the way.
    return (m_restoreEnd || m_partialRestoreEnd) && !m_jobFailed && !m_restoreFailed && !m_noRestore && !m_noBackup;
}

void StartSnapRestore::fail(bool endLoop, const std::string& reason) {
    if (m_failure.empty()) m_failure = reason;
    if (endLoop) m_loopEnd = true;
}

uint64_t StartSnapRestore::processOptions(uint64_t options) {
    if ((options & kMultiIndexSearchOption) != 0) {
        const std::string value = getRegistryString("NoMultiIndexSearch", "JxServe");
        if (strcasecmp(value.c_str(), "y") == 0 || strcasecmp(value.c_str(), "yes") == 0) {
            debug(1, "multi-index option is TURNED OFF due to NoMultiIndexSearch registry value");
            options &= ~kMultiIndexSearchOption;
        }
    }
    return options;
}

void StartSnapRestore::PrintOptions(uint64_t options) {
    std::string line = "Restore Options - ";
    for (const OptionName& option : kOptionNames) {
        if ((options & option.bit) != 0) line += std::string(" ") + option.name + " | ";
    }
    debug(1, "%s", line.c_str());
}

// ---- the session ----

void StartSnapRestore::UpdateFSIndexedRestoreSessionUsage() { m_lastUseMs = wz::ClockMs(); }

void StartSnapRestore::InitializeFSIndexedRestoreSessionKeepAlives() {
    UpdateFSIndexedRestoreSessionUsage();
    const uint32_t version = m_helper != nullptr ? m_helper->sessionVersion() : 0;
    if (version > 5) {
        debug(1, "FSIndexedRestore Session will be kept alive");
        m_keepAliveEnabled = true;
        int minutes = 0;
        // A missing, zero or unreadable interval means the default.
        if (JXPlatformInfo().getNumber("Jxd", "nKEEPALIVEINTERVAL", &minutes) == 0 || minutes <= 0) {
            minutes = kDefaultKeepAliveMinutes;
        }
        m_keepAliveIntervalSeconds = static_cast<int64_t>(minutes) * 60;
        debug(1, "Keep Alive Messages will be sent every %d minutes", minutes);
    } else {
        debug(1, "FSIndexedRestore Session will not be kept alive because session version is %d",
              static_cast<int>(version));
        m_keepAliveEnabled = false;
    }
}

void StartSnapRestore::KeepAliveFSIndexedRestoreSession() {
    if (!m_keepAliveEnabled || m_lastUseMs == 0 || m_keepAliveIntervalSeconds <= 0 || m_session == nullptr) return;
    if (wz::ClockMs() - m_lastUseMs <= m_keepAliveIntervalSeconds * 1000) return;
    if (CWzError e = sendBare(FSR_MSG_KEEP_ALIVE); e.IsError()) {
        debug(1, "Failed to Send Keep Alive Message to Client. Error:[%s]", e.AsString().c_str());
        return;
    }
    debug(2, "Sent Keep Alive Message to Client");
    UpdateFSIndexedRestoreSessionUsage();
}

CWzError StartSnapRestore::sendBare(unsigned long code) {
    jxsDatabuf_v2 empty;
    bool timedOut = false;
    return m_session->SendXDRMessage(code, &empty, 0, kSendTimeoutSeconds, timedOut);
}

void StartSnapRestore::sendStop() {
    if (CWzError e = sendBare(FSR_MSG_STOP); e.IsError()) {
        debug(1, "Failed to send FSR_MSG_STOP to FsIndexedRestore. Error:[%s]", e.AsString().c_str());
        return;
    }
    debug(1, "Sent FSR_MSG_STOP to FsIndexedRestore");
}

void StartSnapRestore::checkStopWait() {
    if (m_stopWaitStartMs == 0 || wz::ClockMs() - m_stopWaitStartMs <= static_cast<int64_t>(kStopWaitSeconds) * 1000)
        return;
    debug(1, "FsIndexedRestore did not end the session within %d seconds of the stop", kStopWaitSeconds);
    m_restoreFailed = true;
    m_jobFailed = true;
    fail(true, "The media agent did not end the restore after the stop.");
}

void StartSnapRestore::feedbackProc(std::vector<std::string>& sourcePaths, bool partialRestoreEndWanted) {
    if (m_session == nullptr || !m_session->IsConnected()) {
        debug(1, "No session with FsIndexedRestore to read from.");
        m_restoreFailed = true;
        fail(false, "No session with the media agent.");
        return;
    }
    InitializeFSIndexedRestoreSessionKeepAlives();
    if (m_stopSentUnacknowledged) {
        sendStop();
        m_stopWaitStartMs = wz::ClockMs();
    }
    while (!m_loopEnd) {
        if (!m_stopSentUnacknowledged && !m_stopped && m_jobControl != nullptr && m_jobControl->checkQuitFlag()) {
            debug(1, "Received stop request from Job Manager");
            sendStop();
            m_stopSentUnacknowledged = true;
            m_stopWaitStartMs = wz::ClockMs();
        }
        checkStopWait();
        if (m_loopEnd) break;

        FSRReceiveBuffer received;
        jxsDatabuf_v2 buffer = received.lend();
        unsigned long code = 0;
        bool timedOut = false;
        if (CWzError e = m_session->ReceiveXDRMessage(&code, &buffer, nullptr, 0, kReceiveTimeoutSeconds, timedOut);
            e.IsError()) {
            if (timedOut) {
                KeepAliveFSIndexedRestoreSession();
                continue;
            }
            debug(1, "JXSession::ReceiveXDRMessage() returned error [%s]", e.AsString().c_str());
            m_restoreFailed = true;
            fail(true, "The session with the media agent broke: " + e.GetMessage());
            continue;
        }
        UpdateFSIndexedRestoreSessionUsage();
        if (code == FSR_MSG_SRC_PATH) {
            const FSRPathMsg& path = received.as<FSRPathMsg>();
            const char* text = path.path != nullptr ? path.path : "";
            debug(1, "Received FSR_MSG_SRC_PATH with %s", text);
            sourcePaths.emplace_back(text);
        } else {
            handleMessage(code, received, partialRestoreEndWanted);
        }
        // The record was decoded by the codec of its own code, which frees it.
        (void)CJxNetwork::FreeReceivedMessage(code, &buffer);
    }
    debug(2, "Exiting...");
    m_loopEnd = false;
}

void StartSnapRestore::handleMessage(unsigned long code, const FSRReceiveBuffer& received,
                                     bool partialRestoreEndWanted) {
    switch (code) {
    case FSR_MSG_RESTORE_END:
        debug(1, "Received FSR_MSG_RESTORE_END");
        m_restoreEnd = true;
        m_loopEnd = true;
        break;
    case FSR_MSG_JOB_PROGRESS: {
        const MsgJobProgress& progress = received.as<MsgJobProgress>();
        onMsgJobProgress(&progress);
        updateJobMgrProgress(progress);
        break;
    }
    case FSR_MSG_RESTORE_ITEM:
        onRestoreItem(received.as<FSRRestoreItem>(), true);
        break;
    case FSR_MSG_REBOOT_CLIENT:
        debug(1, "Received FSR_MSG_REBOOT_CLIENT");
        m_rebootRequested = true;
        break;
    case FSR_MSG_STOP:
        debug(1, "Received FSR_MSG_STOP");
        m_stopped = true;
        m_stopSentUnacknowledged = false;
        // A stop the media agent starts itself bounds the rest of the session too.
        if (m_stopWaitStartMs == 0) m_stopWaitStartMs = wz::ClockMs();
        break;
    case FSR_MSG_RESTORE_FAILED: {
        const int64_t reason = received.as<FSRReasonMsg>().reason;
        debug(1, "Received FSR_MSG_RESTORE_FAILED");
        debug(1, "Reason of failure = %ld", static_cast<long>(reason));
        m_restoreFailed = true;
        fail(true, wz::Format("The media agent failed the restore (reason %ld).", static_cast<long>(reason)));
        break;
    }
    case FSR_MSG_RESTORE_ITEM_ARRAY:
        onRestoreItemArray(received.as<FSRRestoreItemArray>());
        break;
    case FSR_MSG_NO_RESTORE:
        debug(1, "Received FSR_MSG_NO_RESTORE");
        onMsgJobProgress(nullptr);
        m_noRestore = true;
        fail(true, "The media agent found nothing to restore.");
        break;
    case FSR_MSG_PERCENT_PROGRESS:
        onPercentProgress(received.as<FSRPercentProgress>());
        break;
    case FSR_MSG_PARTIAL_RESTORE_END:
        debug(1, "Received FSR_MSG_PARTIAL_RESTORE_END");
        if (partialRestoreEndWanted) m_partialRestoreEnd = true;
        fail(true, "The media agent ended the restore partially.");
        break;
    case FSR_MSG_STATUS_NOTE:
    case FSR_MSG_STATUS_NOTE_2:
        break;
    case FSR_MSG_NO_BACKUP:
        debug(1, "Received FSR_MSG_NO_BACKUP");
        onMsgJobProgress(nullptr);
        m_noBackup = true;
        fail(true, "The media agent found no backup to restore from.");
        break;
    case FSR_MSG_JOB_PROGRESS_5_9: {
        const MsgJobProgress_5_9& progress = received.as<MsgJobProgress_5_9>();
        onMsgJobProgress5_9(&progress);
        updateJobMgrProgress_5_9(progress, false);
        break;
    }
    case FSR_MSG_RESTORE_JOB_FAILED: {
        const int64_t reason = received.as<FSRReasonMsg>().reason;
        debug(1, "Received FSR_MSG_RESTORE_JOB_FAILED");
        debug(1, "Reason of failure = %ld", static_cast<long>(reason));
        m_jobFailed = true;
        fail(false, wz::Format("The media agent failed the job (reason %ld).", static_cast<long>(reason)));
        break;
    }
    case JXS_MSG_DISCONNECT: {
        debug(1, "Received JXS_PM_DISCONNECT_REQ");
        bool timedOut = false;
        if (CWzError e = m_session->ReplyDisconnect(kDisconnectReplyTimeoutSeconds, timedOut); e.IsError()) {
            debug(1, "Failed to reply to the disconnect request: %s", e.AsString().c_str());
        }
        m_connected = false;
        m_restoreFailed = true;
        m_jobFailed = true;
        fail(true, "The media agent disconnected before the restore ended.");
        break;
    }
    default:
        debug(1, "Protocol error: unexpected message [%s]", FSRMessageName(code).c_str());
        m_jobFailed = true;
        fail(false, "Unexpected message " + FSRMessageName(code) + " from the media agent.");
        break;
    }
}

void StartSnapRestore::onRestoreItem(const FSRRestoreItem& item, bool single) {
    const char* path = item.path != nullptr ? item.path : "";
    ++m_itemsReturned;
    if (!single || m_restoreClient == nullptr) return;
    m_restoreClient->setActiveFile(path);
    if (!m_restoreClient->updateInfo(false, nullptr)) debug(1, "JM updateInfo failed");
}

void StartSnapRestore::onRestoreItemArray(const FSRRestoreItemArray& array) {
    // The announced count must match the items the payload carries; a
    // mismatch means a damaged or foreign message, of which nothing is used.
    if (array.count != array.itemCount || (array.itemCount > 0 && array.items == nullptr)) {
        debug(1, "Protocol error: FSR_MSG_RESTORE_ITEM_ARRAY announces %u items but carries %u", array.count,
              array.itemCount);
        m_jobFailed = true;
        fail(false, "A damaged item list from the media agent.");
        return;
    }
    for (uint32_t i = 0; i < array.itemCount; ++i) onRestoreItem(array.items[i], false);
}

void StartSnapRestore::onPercentProgress(const FSRPercentProgress& progress) {
    if (progress.total == 0) {
        debug(2, "Percentage progress with a total of 0 ignored");
    } else {
        const auto scaled = static_cast<unsigned __int128>(progress.done) * 100 / progress.total;
        updateJobProgressByPercent(scaled >= 100 ? 100 : static_cast<int>(scaled));
    }
    updateJobMgrProgress(progress.report);
}

// ---- progress ----

void StartSnapRestore::updateJobProgressByPercent(int percent) {
    if (percent > m_lastSentPercent) m_currentPercent = std::min(percent, 100);
}

void StartSnapRestore::onMsgJobProgress(const MsgJobProgress* record) {
    if (record == nullptr) {
        onMsgJobProgress5_9(nullptr);
        return;
    }
    const MsgJobProgress_5_9 wide = To5_9(*record);
    onMsgJobProgress5_9(&wide);
}

void StartSnapRestore::onMsgJobProgress5_9(const MsgJobProgress_5_9* record) {
    if (record == nullptr) {
        m_currentPercent = ClampPercent(std::trunc(100.0 / m_numParts + m_basePercent + 0.5));
        return;
    }
    if (record->totalFiles > 0) m_total = record->totalFiles;
    if (m_total == 0) return;
    const double done = static_cast<double>(record->succeeded) + static_cast<double>(record->skipped) +
                        static_cast<double>(record->failed);
    m_currentPercent =
        ClampPercent(std::trunc(done / static_cast<double>(m_total) / m_numParts * 100 + m_basePercent + 0.5));
}

void StartSnapRestore::updateJobMgrProgress(const MsgJobProgress& report) {
    updateJobMgrProgress_5_9(To5_9(report), false);
}

void StartSnapRestore::updateJobMgrProgress_5_9(const MsgJobProgress_5_9& report, bool noRestartString) {
    const bool isFinal = report.isFinal != 0;
    if (!isFinal && m_currentPercent < m_lastSentPercent + 1) return;
    // Counts only grow within a part: a report with lower ones (one made of
    // a percentage message, say) neither takes back what was reported nor
    // makes the next report count it again.
    MsgJobProgress_5_9 counts = report;
    counts.succeeded = std::max(report.succeeded, m_lastReport.succeeded);
    counts.skipped = std::max(report.skipped, m_lastReport.skipped);
    counts.failed = std::max(report.failed, m_lastReport.failed);
    counts.compressedBytes = std::max(report.compressedBytes, m_lastReport.compressedBytes);
    counts.uncompressedBytes = std::max(report.uncompressedBytes, m_lastReport.uncompressedBytes);
    const uint64_t restartCount = m_restartBase + counts.succeeded + counts.skipped + counts.failed;
    if (isFinal) {
        debug(1, "File Statistics: Succeeded [%lld], Skipped [%lld] Failed [%lld]",
              static_cast<long long>(counts.succeeded), static_cast<long long>(counts.skipped),
              static_cast<long long>(counts.failed));
        // The part's counts are carried into the base, so the restart point
        // counts them once.
        m_restartBase = restartCount;
    }
    if (m_restoreClient != nullptr) {
        if (isFinal) m_restoreClient->setActiveFile("");
        if (counts.totalFiles > 0) {
            m_restoreClient->setTotFiles2Xfer(static_cast<int64_t>(std::min<uint64_t>(counts.totalFiles, INT64_MAX)));
        }
        if (int64_t n = Growth(counts.succeeded, m_lastReport.succeeded); n > 0) {
            m_restoreClient->setNumSuccessful2Add(n);
        }
        if (int64_t n = Growth(counts.skipped, m_lastReport.skipped); n > 0) m_restoreClient->setNumSkipped2Add(n);
        if (int64_t n = Growth(counts.failed, m_lastReport.failed); n > 0) m_restoreClient->setNumFailures2Add(n);
        if (int64_t n = Growth(counts.compressedBytes, m_lastReport.compressedBytes); n > 0) {
            m_restoreClient->setCompBytes2Add(n);
        }
        if (int64_t n = Growth(counts.uncompressedBytes, m_lastReport.uncompressedBytes); n > 0) {
            m_restoreClient->setUncompBytes2Add(n);
        }
    }
    if (!noRestartString) updateJobRestartString(wz::Format("%d:%ld", 1, static_cast<long>(restartCount)));
    if (m_restoreClient != nullptr) {
        if (!m_restoreClient->setPercentage(m_currentPercent)) {
            debug(1, "JM setPercentage %lu failed", static_cast<unsigned long>(m_currentPercent));
        }
        if (!m_restoreClient->updateInfo(false, nullptr)) debug(1, "JM updateInfo failed");
    }
    m_lastReport = isFinal ? MsgJobProgress_5_9{} : counts;
    m_lastSentPercent = m_currentPercent;
}

void StartSnapRestore::updateJobRestartString(const std::string& restart) {
    if (m_restoreClient == nullptr) return;
    const std::string text = "-o " + restart;
    if (!JXJobClient::setRestartString(m_restoreClient->jobId(), text)) {
        debug(1, "JM setRestartString %s failed", text.c_str());
    }
    if (!m_restoreClient->updateInfo(false, nullptr)) debug(1, "JM updateInfo failed");
}

// ---- the end of the session ----

void StartSnapRestore::disconnect() {
    if (m_session == nullptr) {
        m_connected = false;
        return;
    }
    // Drains what the media agent still sends; bounded so that a peer that
    // keeps talking cannot hold the job.
    const int64_t deadline = wz::ClockMs() + static_cast<int64_t>(kStopWaitSeconds) * 1000;
    while (m_session->IsConnected()) {
        FSRReceiveBuffer received;
        jxsDatabuf_v2 buffer = received.lend();
        unsigned long code = 0;
        bool timedOut = false;
        if (CWzError e = m_session->ReceiveXDRMessage(&code, &buffer, nullptr, 0, kDrainTimeoutSeconds, timedOut);
            e.IsError()) {
            if (timedOut) {
                debug(2, "no more pending messages");
            } else {
                debug(2, "we have disconnected already. Message:[%s]", e.AsString().c_str());
            }
            break;
        }
        if (code == JXS_MSG_DISCONNECT) {
            debug(2, "replying to disconnect");
            if (CWzError e = m_session->ReplyDisconnect(kDisconnectReplyTimeoutSeconds, timedOut); e.IsError()) {
                debug(1, "Failed to reply to the disconnect request: %s", e.AsString().c_str());
            }
            break;
        }
        debug(2, "Discarded message: msgType = 0x%lx", code);
        // The record was decoded by the codec of its own code, which frees it.
        (void)CJxNetwork::FreeReceivedMessage(code, &buffer);
        if (wz::ClockMs() > deadline) break;
    }
    if (m_session->IsConnected()) {
        bool timedOut = false;
        if (CWzError e = m_session->Disconnect(kDrainTimeoutSeconds, timedOut); e.IsError()) {
            debug(2, "The media agent did not answer the disconnect: %s", e.AsString().c_str());
        }
    }
    m_connected = false;
}
