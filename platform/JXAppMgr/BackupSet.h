// BackupSet: the backup set a subclient belongs to (the subclient's property
// "backupSetId" in the application model).
#pragma once

#include <cstdint>

class BackupSet {
public:
    explicit BackupSet(uint64_t subclientId) : m_subclientId(subclientId) {}

    // 0 with the id written, or a code of AppModel.h.
    int getId(uint64_t& backupSetId) const;

private:
    uint64_t m_subclientId;
};
