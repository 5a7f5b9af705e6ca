// CJxSQLVDIDumpRestore: the engine object of one restore of a dump file.
#pragma once

#include <functional>

#include "JxSQLVDIBase/CJxSQLVDI.h"

class CJxSQLVDIDumpRestore : public CJxSQLVDI {
public:
    CJxSQLVDIDumpRestore() = default;
    ~CJxSQLVDIDumpRestore() override = default;

    // The statement finished without an error.
    bool Success() const;
    bool WaitUntilDone();
    // Waits until the restore statement ends. A statement that moves no byte
    // for the VDI time-out is aborted; a stop request aborts it at once. Either
    // way the statement's thread is joined before the engine is closed, and
    // the answer is false.
    bool WaitUntilDoneLinux();
    // How the wait learns that the job was asked to stop.
    void SetStopCheck(std::function<bool()> stopRequested) { m_stopRequested = std::move(stopRequested); }

private:
    // How often the wait looks at the statement, in platform milliseconds.
    static constexpr uint32_t kPollMs = 100;
    std::function<bool()> m_stopRequested;
};
