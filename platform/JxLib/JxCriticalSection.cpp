// JxCriticalSection: owner of an in-process lock object.
#include "JxLib/JxCriticalSection.h"

#include <new>

#include "JxLib/JxCriticalSectionH.h"

JxCriticalSection::JxCriticalSection() : m_handle(new (std::nothrow) JxCriticalSectionH) {
    if (m_handle == nullptr) throw "Not enough memory to initialize JxCriticalSection";
}

JxCriticalSection::~JxCriticalSection() {
    delete m_handle;
    m_handle = nullptr;
}

bool JxCriticalSection::enter(bool wait) { return m_handle->enter(wait); }

void JxCriticalSection::leave() { m_handle->leave(); }
