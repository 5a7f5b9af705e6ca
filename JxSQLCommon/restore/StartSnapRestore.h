// StartSnapRestore: drives one indexed snapshot restore session with the
// media agent's index-restore process.
//
// The agent's programs construct it, hand it the job's restore and control
// clients, Initialize it with the session's paths and call onMsgRestore
// once: it starts the session, asks for each path and relays what the media
// agent reports (items, progress, the end or a failure) to the job manager,
// keeping the session alive and passing on a stop request of the job
// manager. A media agent that falls silent after a stop ends the session
// after kStopWaitSeconds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "JxLib/TDebuggable.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "JxSnapRestoreHandler/FSRMessages.h"
#include "WzUtils/CWzError.h"

class CJxNetwork;
class JXJobCtrlClient;
class JXRstJobClient;
class SnapRestoreHelper;

class StartSnapRestore : public TDebuggable {
public:
    // Longest time (platform seconds) the session may go on after a stop
    // (FSR_MSG_STOP sent or received); a media agent that has not ended it by
    // then is given up on and the restore fails.
    static constexpr int kStopWaitSeconds = 120;
    static constexpr int kReceiveTimeoutSeconds = 1;
    static constexpr int kSendTimeoutSeconds = 120;
    static constexpr int kDisconnectReplyTimeoutSeconds = 120;
    static constexpr int kDrainTimeoutSeconds = 5;
    static constexpr int kDefaultKeepAliveMinutes = 30;
    // Restore option: search more than one index.
    static constexpr uint64_t kMultiIndexSearchOption = 0x1000000000000ull;

    StartSnapRestore();
    // Disconnects a session still open.
    ~StartSnapRestore() override;

    void setRestoreObject(JXRstJobClient* client) { m_restoreClient = client; }
    void setJobControlObject(JXJobCtrlClient* client) { m_jobControl = client; }

    // Keeps a copy of `init` for the session; false (with `error`) when it
    // cannot be used.
    bool Initialize(FSIndexRestoreInit& init, std::string& error);
    // Runs the session to its end. True only when the media agent ended the
    // restore normally and nothing failed; else false with the reason in
    // `error`.
    bool onMsgRestore(std::string& error);

    // The restore options without the multi-index search when the setting
    // "NoMultiIndexSearch" (section "JxServe") turns it off.
    uint64_t processOptions(uint64_t options);
    // Logs the names of the set restore options.
    void PrintOptions(uint64_t options);

    // Progress to the job manager.
    void updateJobMgrProgress(const MsgJobProgress& report);
    void updateJobMgrProgress_5_9(const MsgJobProgress_5_9& report, bool noRestartString = false);
    void updateJobProgressByPercent(int percent);
    void onMsgJobProgress(const MsgJobProgress* record);
    void onMsgJobProgress5_9(const MsgJobProgress_5_9* record);
    void updateJobRestartString(const std::string& restart);

    // The session.
    void InitializeFSIndexedRestoreSessionKeepAlives();
    void KeepAliveFSIndexedRestoreSession();
    void UpdateFSIndexedRestoreSessionUsage();
    // Reads and handles the media agent's messages until the session ends;
    // source paths it reports are appended to `sourcePaths`.
    void feedbackProc(std::vector<std::string>& sourcePaths, bool partialRestoreEndWanted);
    void disconnect();

    // How the session went.
    bool isConnected() const { return m_connected; }
    bool isStopped() const { return m_stopped; }
    bool isStopUnacknowledged() const { return m_stopSentUnacknowledged; }
    bool isRestoreFailed() const { return m_restoreFailed; }
    bool isJobFailed() const { return m_jobFailed; }
    bool isRebootRequested() const { return m_rebootRequested; }
    bool isKeepAliveEnabled() const { return m_keepAliveEnabled; }
    int64_t keepAliveIntervalSeconds() const { return m_keepAliveIntervalSeconds; }
    uint64_t itemsReturned() const { return m_itemsReturned; }
    int currentPercent() const { return m_currentPercent; }
    const std::vector<std::string>& sourcePaths() const { return m_sourcePaths; }

private:
    // Handles one received message; `partialRestoreEndWanted` as feedbackProc.
    void handleMessage(unsigned long code, const FSRReceiveBuffer& received, bool partialRestoreEndWanted);
    void onRestoreItem(const FSRRestoreItem& item, bool single);
    void onRestoreItemArray(const FSRRestoreItemArray& array);
    void onPercentProgress(const FSRPercentProgress& progress);
    // Sends a message without payload.
    CWzError sendBare(unsigned long code);
    void sendStop();
    // Ends the loop as failed once the media agent let the stop wait pass.
    void checkStopWait();
    // Marks the session failed for `reason` (kept for the caller's error text).
    void fail(bool endLoop, const std::string& reason);
    bool succeeded() const;

    FSIndexRestoreInit m_init;
    std::unique_ptr<SnapRestoreHelper> m_helper;
    CJxNetwork* m_session = nullptr;  // owned by m_helper
    JXJobCtrlClient* m_jobControl = nullptr;
    JXRstJobClient* m_restoreClient = nullptr;
    std::vector<std::string> m_sourcePaths;

    // Progress.
    int m_numParts = 1;
    double m_basePercent = 0;
    int m_lastSentPercent = 0;
    int m_currentPercent = 0;
    uint64_t m_total = 0;
    MsgJobProgress_5_9 m_lastReport;
    uint64_t m_restartBase = 0;
    uint64_t m_itemsReturned = 0;

    // Session state.
    bool m_connected = false;
    bool m_loopEnd = false;
    bool m_rebootRequested = false;
    bool m_stopped = false;
    bool m_restoreFailed = false;
    bool m_jobFailed = false;
    bool m_stopSentUnacknowledged = false;
    bool m_noRestore = false;
    bool m_partialRestoreEnd = false;
    bool m_noBackup = false;
    bool m_restoreEnd = false;
    bool m_keepAliveEnabled = false;
    int64_t m_lastUseMs = 0;
    int64_t m_keepAliveIntervalSeconds = 0;
    int64_t m_stopWaitStartMs = 0;  // when a stop went either way; 0: none
    std::string m_failure;
};
