// JxCriticalSectionLock: holds a JxCriticalSection for a scope.
#pragma once

#include "JxLib/JxCriticalSection.h"

class JxCriticalSectionLock {
public:
    // Enters `section` (waiting) unless it is null.
    explicit JxCriticalSectionLock(JxCriticalSection* section) : m_section(section) {
        if (m_section != nullptr) m_section->enter(true);
    }
    ~JxCriticalSectionLock() {
        if (m_section != nullptr) m_section->leave();
    }
    JxCriticalSectionLock(const JxCriticalSectionLock&) = delete;
    JxCriticalSectionLock& operator=(const JxCriticalSectionLock&) = delete;

private:
    JxCriticalSection* m_section;
};
