// SnapRestoreHelper: the client's side of the set-up of an indexed restore
// session with the media agent's index-restore process.
//
// It starts that process ("fsindexrestore", through the process runner) for
// the job, takes the session the process opens back to this one, and sends
// the set-up requests of FSRMessages.h; the caller then reads the restore's
// reports from the session (getJXSession) until the media agent ends it.
// Every wait is bounded by kRequestTimeoutSeconds (platform seconds; a wait
// on another process: at least wz::HelperWaitMs of it).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"

class CJxNetwork;

class SnapRestoreHelper {
public:
    // The program the runner starts, looked up in its program table.
    static constexpr const char* kProgramName = "fsindexrestore";
    static constexpr int kRequestTimeoutSeconds = 120;

    SnapRestoreHelper();
    // Closes the session without telling the peer.
    ~SnapRestoreHelper();
    SnapRestoreHelper(const SnapRestoreHelper&) = delete;
    SnapRestoreHelper& operator=(const SnapRestoreHelper&) = delete;

    // Keeps the session's job and paths; 0 when they can be used, else an
    // error code (no job id).
    int init(const FSIndexRestoreInit& init);
    // Starts the index-restore process for the job and waits for it to
    // connect back.
    bool connectToFSIndexRestore();
    // Opens the session for the job; the answer tells the media agent's
    // protocol version (sessionVersion).
    bool initFSIndexRestore();
    // Asks for the restore of `path` at `level`; false when the media agent
    // refuses it or does not answer.
    bool restorePath(const std::string& path, int level);
    // Starts the restore of the paths asked for.
    bool restoreFromSnap();

    // The session with the index-restore process (null before connecting).
    CJxNetwork* getJXSession();
    // The protocol version the media agent announced (0 before initFSIndexRestore).
    uint32_t sessionVersion() const { return m_sessionVersion; }

private:
    // Sends one set-up request and reads its FSR_MSG_REPLY.
    bool Request(unsigned long code, void* record, unsigned long recordSize, const char* what,
                 uint32_t* protocolVersion);

    EvDebug m_logger{"SnapRestoreHelper"};
    FSIndexRestoreInit m_init;
    std::unique_ptr<CJxNetwork> m_session;
    uint32_t m_sessionVersion = 0;
};
