// ChangeRefTime: the reference time at which subclient properties are looked
// up (a time of 0 means "now"), with the reference value, a flag word that
// says which changes it covers.
#pragma once

#include "JxLib/JXDate.h"

class ChangeRefTime : public JXDate {
public:
    explicit ChangeRefTime(int flags = 0) : m_flags(flags) {}

    int flags() const { return m_flags; }

private:
    int m_flags;
};
