// CSQLCom: initialised flag and its log lines.
#include "JxSQLCommon/jobbase/CSQLCom.h"

CSQLCom::CSQLCom(bool initialise) : m_logger("JxSQLCommon") {
    if (initialise) InitCom();
}

CSQLCom::~CSQLCom() { FreeCom(); }

int CSQLCom::InitCom() {
    if (m_initialised) return 1;
    m_initialised = true;
    EV_DEBUG(m_logger, 3, "<COM> - INIT SUCCESS");
    return 0;
}

int CSQLCom::FreeCom() {
    if (!m_initialised) return 1;
    EV_DEBUG(m_logger, 3, "</COM> - FREE'D SUCCESS");
    m_initialised = false;
    return 0;
}
