// The one place that registers every record codec of the library.
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"

#include <mutex>

#include "JxSQLCommon/records/SqlCatalogueCodecs.h"
#include "JxSQLCommon/records/SqlCentralServerCodecs.h"
#include "JxSQLCommon/records/SqlIntegrityCheckCodecs.h"
#include "JxSQLCommon/records/SqlPeerCodecs.h"
#include "JxSQLCommon/records/SqlServerRequestCodecs.h"
#include "JxSQLCommon/records/SqlXmlRequestCodecs.h"

void SqlRegisterRecordCodecs() {
    static std::once_flag once;
    std::call_once(once, [] {
        // One call per feature that carries records, each declared in the
        // feature's own header.
        SqlRegisterCatalogueRecords();
        SqlRegisterXmlRequestRecords();
        SqlRegisterServerRequestRecords();
        SqlRegisterCentralServerRecords();
        SqlRegisterPeerRecords();
        SqlRegisterIntegrityCheckRecords();
    });
}
