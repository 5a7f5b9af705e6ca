// SnapRestoreHandlerCallback: the file call-backs through which the snapshot
// copy-restore handler reaches the restore job. The handler moves no file
// between machines itself: for every file operation it needs on another
// node it calls one of these, on the job's thread, and waits for the answer.
// The restore job implements the interface as its second base.
//
// Every operation takes first the id of the node (client) the file lives on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The one file of a copy restore (indexed path, target directory, path on
// the node) is a value record of the snapshot restores.
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

    // Copies one file from the node into its target directory here; a
    // failure may leave a text for the user in `errorText`.
    virtual bool OnRestoreFile(uint64_t nodeId, SnapCopyIndexFileInfo* file, std::string& errorText) = 0;
    // Copies many files from the node, in order.
    virtual bool OnRestoreMultiFiles(uint64_t nodeId, std::vector<SnapCopyIndexFileInfo>* files,
                                     std::string& errorText) = 0;
    // Creates a directory (with its missing parents) on the node.
    virtual bool OnCreateJRTempDirectory(uint64_t nodeId, std::string directory, std::string& errorText) = 0;
    // The size in bytes of a file on the node; 0 when it cannot be read.
    virtual uint64_t OnGetPhysicalFileSize(uint64_t nodeId, std::string filePath) = 0;
    // The files under a folder of the node whose names match a pattern.
    virtual bool OnGetFileStreamFiles(uint64_t nodeId, std::string folder, std::string pattern,
                                      std::vector<std::string>& files, int& error) = 0;
    // The same as a list of (path, size) records.
    virtual bool OnGetFileStreamFiles_V2(uint64_t nodeId, std::string folder, std::string pattern,
                                         SQLPmn::SqlGetFileStreamInfoRsp& reply) = 0;
};
