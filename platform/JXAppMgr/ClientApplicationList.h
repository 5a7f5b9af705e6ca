// ClientApplicationList: lists of the backup domain's applications from the
// application model.
#pragma once

#include <cstdint>
#include <list>
#include <string>

class ClientApplicationList {
public:
    // The subclients of one backup set of an instance of a client: ids in
    // ascending order and, in step, their names (property "name", empty when
    // unset). A subclient belongs when its "clientId", "instanceId" and
    // "backupSetId" match. 0, also when there are none. The application
    // type, the reserved pointer and the flags are accepted and not used.
    static int getSubclientList(std::list<uint64_t>& ids, std::list<std::string>& names, uint64_t clientId,
                                uint64_t appTypeId, uint64_t instanceId, uint64_t backupSetId, void* reserved,
                                int flags);
    // The same by backup set alone (its subclients' "backupSetId").
    static int getSubclientList(std::list<uint64_t>& ids, std::list<std::string>& names, uint64_t appTypeId,
                                uint64_t backupSetId, void* reserved, int flags);
    // The default backup set of an instance of a client: the backup set
    // ("backupset/<id>") with that "clientId" and "instanceId" whose
    // "isDefault" is 1 (the lowest id when several are), its id and name.
    // 0, or JXAPPMGR_E_NO_OBJECT when there is none. The application type is
    // accepted and not used.
    static int getDefaultBackupSet(uint64_t clientId, uint64_t appTypeId, uint64_t instanceId,
                                   uint64_t& backupSetId, std::string& backupSetName);
};
