// CSQLCom: the guard that brackets the use of a component runtime.
//
// This platform has no component runtime: the guard only keeps whether it
// was initialised and logs the start and the end. InitCom and FreeCom answer
// 0 when they changed the state and 1 when there was nothing to do; the
// destructor frees.
#pragma once

#include "JxLib/EvDebug.h"

class CSQLCom {
public:
    explicit CSQLCom(bool initialise);
    virtual ~CSQLCom();
    CSQLCom(const CSQLCom&) = delete;
    // Copies nothing: each guard keeps its own state.
    CSQLCom& operator=(const CSQLCom&) { return *this; }

    int InitCom();
    int FreeCom();
    bool isInitialised() const { return m_initialised; }

private:
    EvDebug m_logger;
    bool m_initialised = false;
};
