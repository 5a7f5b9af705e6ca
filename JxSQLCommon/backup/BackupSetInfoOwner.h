// Ownership of what a backup-set request (either version) points to while
// it is filled and sent: its texts are copied in and freed here.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "JxSQLCommon/records/SqlBackupSetRecords.h"

// A NUL-terminated copy of `text` for a request's text member, allocated as
// BackupSetInfoOwner frees it.
inline char* CopyRequestText(const std::string& text) {
    char* copy = new char[text.size() + 1];
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// Frees what the request owns (its texts, files and archives) when the send
// ends, on every path, and leaves the request empty.
template <class Request>
class BackupSetInfoOwner {
public:
    explicit BackupSetInfoOwner(Request& request) : m_request(request) {}
    ~BackupSetInfoOwner() {
        Request& r = m_request;
        for (char* text : {r.firstLsn, r.lastLsn, r.checkpointLsn, r.databaseBackupLsn, r.databaseName, r.backupType,
                           r.unused20, r.callerText}) {
            delete[] text;
        }
        if constexpr (requires { r.extraTexts; }) {
            for (char* text : r.extraTexts) delete[] text;
        }
        for (uint32_t i = 0; r.files != nullptr && i < r.fileCount; ++i) {
            delete[] r.files[i].physicalName;
            delete[] r.files[i].logicalName;
            delete[] r.files[i].filegroupName;
        }
        delete[] r.files;
        for (uint32_t i = 0; r.archives != nullptr && i < r.archiveCount; ++i) delete[] r.archives[i].sourcePath;
        delete[] r.archives;
        r = Request{};
    }
    BackupSetInfoOwner(const BackupSetInfoOwner&) = delete;
    BackupSetInfoOwner& operator=(const BackupSetInfoOwner&) = delete;

private:
    Request& m_request;
};
