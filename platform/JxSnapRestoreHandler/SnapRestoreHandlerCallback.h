// SnapRestoreHandlerCallback: the file call-backs through which the snapshot
// copy-restore handler reaches the restore job. The handler moves no file
// between clients itself: for a file on another client (node) it calls the
// job, which turns the operation into a request to that client's agent.
// The job class derives from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SqlSnapshotRecords.h"

namespace SQLPmn {
class SqlGetFileStreamInfoRsp;
}  // namespace SQLPmn

class SnapRestoreHandlerCallback {
public:
    SnapRestoreHandlerCallback() = default;
    virtual ~SnapRestoreHandlerCallback() = default;
    SnapRestoreHandlerCallback(const SnapRestoreHandlerCallback&) = delete;
    SnapRestoreHandlerCallback& operator=(const SnapRestoreHandlerCallback&) = delete;

    // Copies one file from the node into its target directory.
    virtual bool OnRestoreFile(uint64_t nodeId, SnapCopyIndexFileInfo* file, std::string& result) = 0;
    // Copies many files from the node.
    virtual bool OnRestoreMultiFiles(uint64_t nodeId, std::vector<SnapCopyIndexFileInfo>* files,
                                     std::string& result) = 0;
    virtual bool OnCreateJRTempDirectory(uint64_t nodeId, std::string directory, std::string& result) = 0;
    virtual uint64_t OnGetPhysicalFileSize(uint64_t nodeId, std::string path) = 0;
    virtual bool OnGetFileStreamFiles(uint64_t nodeId, std::string first, std::string second,
                                      std::vector<std::string>& files, int& count) = 0;
    virtual bool OnGetFileStreamFiles_V2(uint64_t nodeId, std::string path, std::string pattern,
                                         SQLPmn::SqlGetFileStreamInfoRsp& response) = 0;
};
