// JxCriticalSection: guards data shared by the threads of one process.
//
// Owns its lock object (JxCriticalSectionH). Construction throws the C string
// "Not enough memory to initialize JxCriticalSection" when the lock object
// cannot be allocated; that is the only exception of the lock classes.
#pragma once

class JxCriticalSectionH;

class JxCriticalSection {
public:
    JxCriticalSection();
    ~JxCriticalSection();
    JxCriticalSection(const JxCriticalSection&) = delete;
    JxCriticalSection& operator=(const JxCriticalSection&) = delete;

    // Waits for the section when `wait`, else only tries; true when held.
    // Recursive for the holding thread.
    bool enter(bool wait);
    void leave();

private:
    JxCriticalSectionH* m_handle;
};
