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
};
