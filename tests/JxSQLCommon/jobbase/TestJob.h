// A job context whose protected state the tests can set and read.
#pragma once

#include "JxSQLCommon/jobbase/CSQLCommon.h"

struct TestJob : CSQLCommon {
    using CSQLCommon::m_attempt;
    using CSQLCommon::m_bkpPhase;
    using CSQLCommon::m_fullRestartString;
    using CSQLCommon::m_loggedDbCount;
    using CSQLCommon::m_password;
    using CSQLCommon::m_pJobRegistration;
    using CSQLCommon::m_pMasterConnection;
    using CSQLCommon::m_pJobClnt;
    using CSQLCommon::m_pJobCtrlClnt;
    using CSQLCommon::m_pJobResults;
    using CSQLCommon::m_pRstJobClnt;
    using CSQLCommon::m_pSubclient;
    using CSQLCommon::m_sServername;
    using CSQLCommon::m_sqlEdition;
    // Set by the backup and restore initialisation.
    using CSQLCommon::m_agName;
    using CSQLCommon::m_appNumber;
    using CSQLCommon::m_bufferSize;
    using CSQLCommon::m_clientId;
    using CSQLCommon::m_initiatedFrom;
    using CSQLCommon::m_instanceId;
    using CSQLCommon::m_isAGChild;
    using CSQLCommon::m_isRBSJob;
    using CSQLCommon::m_jobId;
    using CSQLCommon::m_jobPhase;
    using CSQLCommon::m_jobResultsDirectory;
    using CSQLCommon::m_jxCellNumber;
    using CSQLCommon::m_jxServerHostName;
    using CSQLCommon::m_masterInstanceId;
    using CSQLCommon::m_pBkpJobClnt;
    using CSQLCommon::m_restoreTaskId;
    using CSQLCommon::m_sendOptionalHeader;
    using CSQLCommon::m_serverType;
    using CSQLCommon::m_sqlUser;
    using CSQLCommon::m_sqlVersion;
    using CSQLCommon::m_vdiBlockSize;
    using CSQLCommon::m_vdiBufferCount;
    using CSQLCommon::m_vdiTimeoutRetryLimit;
    using CSQLCommon::m_virtualInstanceName;
};
