// Pushing one file of this machine to another client: what the handler of a
// single-file copy request does, shared with the message-processor stand-in.
#pragma once

#include <cstdint>
#include <string>

class EvDebug;

// Result codes of a push, as the copy replies carry them.
enum SqlFileCopyCode : int {
    kSqlCopyOk = 0,
    kSqlCopyMissingInput = 1,   // "Failed to get filepath or destination or remote client Id from request."
    kSqlCopyNoHostName = 2,     // "Failed to get host manged name."
    kSqlCopyNoConnection = 3,   // "Failed to get connection with host."
    kSqlCopyFailed = 4,         // "Failed to copy file to destination."
};

// The reply text of a code ("" for success).
const char* SqlFileCopyText(int code);

// Pushes the file `sourcePath` of this machine into the folder
// `destinationPath` of client `destinationClientId`, under its own name.
// Either the whole file arrives or the destination stays as it was. Both
// paths must be absolute and without ".." levels.
int SqlPushFileToClient(const std::string& sourcePath, const std::string& destinationPath,
                        uint64_t destinationClientId, EvDebug& log);
