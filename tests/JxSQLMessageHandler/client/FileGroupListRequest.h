// Test support: a file/filegroup list request as the restore job places it.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "JxSQLCommon/records/SqlRestoreRequestRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"

namespace jxtest {

// Asks for the list of restore task `taskId` restoring the file or file group
// `name` of `database` of instance `instanceId` to `toTime`; the reply's
// status, the restore ids in `ids`.
inline unsigned long AskFileGroupList(CSQLClientDll& client, std::string database, uint64_t instanceId, uint64_t toTime,
                                      uint64_t taskId, std::string name, std::list<unsigned long>& ids) {
    char* files[] = {name.data()};
    SQLAFilesForFFGRstReq_t request;
    request.databaseName = database.data();
    request.sourceInstanceId = instanceId;
    request.toTime = toTime;
    request.restoreTaskId = taskId;
    request.fileCount = 1;
    request.files = files;
    client.getDataBuffer()->setExternalBuffer(&request, sizeof request);
    return client.getFFGRestoreList(ids);
}

}  // namespace jxtest
