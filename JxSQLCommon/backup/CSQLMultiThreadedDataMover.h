// CSQLMultiThreadedDataMover: the pipeline of one worker of a multi-threaded
// backup. It sets the handler's backup pipeline up once and, when asked to,
// closes it when it goes.
#pragma once

#include "WzUtils/CWzError.h"

class SqlDataTransferHandler;

class CSQLMultiThreadedDataMover {
public:
    explicit CSQLMultiThreadedDataMover(SqlDataTransferHandler& handler) : m_handler(handler) {}
    virtual ~CSQLMultiThreadedDataMover();
    CSQLMultiThreadedDataMover(const CSQLMultiThreadedDataMover&) = delete;
    CSQLMultiThreadedDataMover& operator=(const CSQLMultiThreadedDataMover&) = delete;

    // Sets the backup pipeline up; a non-zero buffer size (KB) is given to
    // the handler. A second call fails and leaves the pipeline as it is.
    virtual CWzError SetupBackupPipeline(unsigned long bufferSizeKB);
    virtual void NeedsClose(bool close) { m_bNeedsClose = close; }

private:
    bool m_bPipelineSetup = false;
    bool m_bNeedsClose = false;
    SqlDataTransferHandler& m_handler;
};
