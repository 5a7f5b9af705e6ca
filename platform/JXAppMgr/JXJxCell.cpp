// JXJxCell: the backup domain's number from the model.
#include "JXAppMgr/JXJxCell.h"

#include "JXAppMgr/AppModel.h"

int JXJxCell::getJxCellNumber(uint64_t& number) const {
    return AppModel::GetUnsigned(AppModel::ObjectName("jxcell", m_id), "number", number);
}
