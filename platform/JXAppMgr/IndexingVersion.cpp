// Indexing version from the domain's model.
#include "JXAppMgr/IndexingVersion.h"

#include "JXAppMgr/AppModel.h"

int shouldUseIndexingV2(uint64_t /*entityId*/, int /*entityType*/, bool& useV2) {
    int64_t v = 0;
    if (int rc = AppModel::GetSigned("domain", "useIndexingV2", v); rc != 0) return rc;
    useV2 = v != 0;
    return 0;
}
