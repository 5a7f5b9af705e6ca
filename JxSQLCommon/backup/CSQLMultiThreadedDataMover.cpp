// CSQLMultiThreadedDataMover: set-up once, close on the way out.
#include "JxSQLCommon/backup/CSQLMultiThreadedDataMover.h"

#include <cstdint>

#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "WzUtils/FXErrorUtil.h"

CSQLMultiThreadedDataMover::~CSQLMultiThreadedDataMover() {
    if (m_bNeedsClose) (void)m_handler.closePipeline(0, false);  // the worker reported its outcome already
}

CWzError CSQLMultiThreadedDataMover::SetupBackupPipeline(unsigned long bufferSizeKB) {
    if (m_bPipelineSetup) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, static_cast<int32_t>(0x80070057), "Pipeline already setup");
    }
    if (!m_handler.setupBackupPipeline(true)) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, static_cast<int32_t>(0x80004005), "setupBackupPipeline failed.");
    }
    if (bufferSizeKB != 0) m_handler.setBufferSizeInKB(bufferSizeKB);
    m_bPipelineSetup = true;
    m_bNeedsClose = true;
    return CWzError();
}
