// BackupSet: the backup set of a subclient from the application model.
#include "JXAppMgr/BackupSet.h"

#include "JXAppMgr/AppModel.h"

int BackupSet::getId(uint64_t& backupSetId) const {
    return AppModel::GetUnsigned(AppModel::ObjectName("subclient", m_subclientId), "backupSetId", backupSetId);
}
