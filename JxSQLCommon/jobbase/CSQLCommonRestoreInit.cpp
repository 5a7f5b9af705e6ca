// CSQLCommon: restore job initialisation.
//
// Registers the restore job, binds the job manager's restore client into the
// job's restore link and sets the VDI time-out retry limit. Instance,
// credentials and options of a restore come later from the restore task.
#include <cinttypes>

#include "JobResults/StoreResults.h"
#include "JxCommandLineParser/RestoreOptionsParser.h"
#include "JxJobClient/JobRegistration.h"
#include "JxSQLCommon/jobbase/CSQLCommon.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/CStopWatch.h"
#include "WzUtils/FXErrorUtil.h"

bool CSQLCommon::initializeRestore(RestoreOptionsParser& parser) {
    m_isRBSJob = parser.isRBSJob();
    if (m_isRBSJob) EV_DEBUG(m_logger, 1, "This is a RBS JOB.");
    if (parser.getJobId() == 0) EV_INFO(m_logger, "failed to get jobId from parser");
    m_jobId = parser.getJobId();
    m_logger.setJobId(m_jobId);
    m_restoreTaskId = parser.getRestoreTaskId();

    // A repeated initialisation replaces the earlier registration.
    m_pJobCtrlClnt = nullptr;
    m_pJobResults = nullptr;
    if (m_pRstJobClnt) (void)m_pRstJobClnt->Set(nullptr);  // clearing the link cannot fail
    delete m_pJobRegistration;
    m_pJobRegistration = new JobRegistration(parser);
    CStopWatch watch;
    if (!m_pJobRegistration->registerJob()) {
        EV_ERROR(m_logger, "Failed to register with JM.");
        return false;
    }
    watch.Stop();
    EV_DEBUG(m_logger, 1, "Time taken to register the job with the jobmanager = %f", watch.Time());
    m_pJobCtrlClnt = m_pJobRegistration->getJobControllObject();
    m_pJobResults = m_pJobRegistration->getJobResultsObject();

    // Without a restore link nothing the restore does would reach the job
    // manager, so the job cannot go on.
    CWzError err = CreateRestoreObject(SQL_RST_JOB_CLIENT_LINK_ONLY);
    if (err.IsSuccess() && !m_pRstJobClnt) err = FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "no restore link");
    if (err.IsSuccess()) err = m_pRstJobClnt->Set(m_pJobRegistration->getRstJobControllObject());
    if (err.IsError()) {
        EV_ERROR(m_logger, "Failed to create the restore link to the job manager: %s", err.AsString().c_str());
        JXRstJobClient* client = m_pJobRegistration->getRstJobControllObject();
        client->setPendingCauseAndCriticalEvent(kCauseSubclientProperties, 0, false, 300, false, 0, 0, 0, 0);
        return false;
    }

    m_jobResultsDirectory = m_pJobResults->getDirectory();
    EV_DEBUG(m_logger, 1, "JobManager initialized.");
    EV_DEBUG(m_logger, 1, "Restore TaskId = %" PRIu64, m_restoreTaskId);
    ReadVdiTimeoutRetryLimit();
    return true;
}
