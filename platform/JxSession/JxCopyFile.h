// JxCopyFile: pushes files to another client's host.
//
//   JxCopyFile copy;
//   copy.GetConnection(destinationHost, ownName, false);
//   copy.CopySingleFile(info, false);
//   copy.Disconnect();
//
// The destination's host serves the conversation with the entry
// jxsFileCopyReceiver, bound to the descriptor "sLNFILECOPY"/"sLPFILECOPY".
// A copy either puts the whole file in place at the destination or leaves
// the destination as it was. Every wait is bounded by kJxsFileCopyTimeout
// platform seconds.
#pragma once

#include <cstdint>
#include <string>

#include "JxSession/CJxNetwork.h"
#include "WzUtils/CWzError.h"

// What one copy sends: the file `sourceFolder`/`fileName` of this machine,
// written at `destinationPath` on the destination (a file path, or an
// existing folder that then receives the file under its own name).
struct _JXS_FILE_COPY_INFO {
    std::string sourceFolder;
    std::string fileName;
    std::string destinationPath;
    uint32_t copyOption = 0;  // passed through, not read
};

constexpr const char* kJxsFileCopyLibrary = "sLNFILECOPY";
constexpr const char* kJxsFileCopyEntry = "sLPFILECOPY";
constexpr int kJxsFileCopyTimeout = 240;

class JxCopyFile {
public:
    JxCopyFile();
    ~JxCopyFile();
    JxCopyFile(const JxCopyFile&) = delete;
    JxCopyFile& operator=(const JxCopyFile&) = delete;

    // Attaches to the file-copy receiver of `hostName` (a network target).
    CWzError GetConnection(const char* hostName, const char* ownName, bool);
    // Sends one file. The source folder must be an absolute path and the file
    // name a plain name; neither may hold a ".." level.
    CWzError CopySingleFile(_JXS_FILE_COPY_INFO& info, bool);
    // Ends the conversation; success when not connected.
    CWzError Disconnect();

private:
    CWzError SendBytes(int fd, uint64_t size, uint64_t& sent, uint64_t& checksum);
    CWzError ReceiveStatus(const char* step);

    CJxNetwork m_session;
};

extern "C" {
// Host entry of the destination side: serves one file-copy conversation.
void jxsFileCopyReceiver(CJxNetwork* session, unsigned long);
}
