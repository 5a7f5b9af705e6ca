// JxCopyFile: copies files from this client to another client.
//
//   JxCopyFile copy;
//   CWzError e = copy.GetConnection("client2", "client1", false);
//   if (e.IsSuccess()) e = copy.CopyFiles(files, false, nullptr, "", "");
//   copy.Disconnect();
//
// Every client of the simulated backup domain lives on this machine and
// under one platform root, so a connection is the destination's target
// resolved (jxsTargets.h: an unknown client cannot be reached) and a copy
// writes the destination folder on this file system. Each file is written
// to a temporary file beside its destination and renamed over it only once
// all its bytes are on disk, so a failed or cancelled copy leaves no partial
// file and an existing destination file untouched. The source path is the
// source folder joined with the file name by "/".
#pragma once

#include <string>
#include <vector>

#include "JxSession/jxsFileCopyInfo.h"
#include "WzUtils/CWzError.h"

// Asked between blocks of a copy whether to give it up.
class JxCopyFileMonitor {
public:
    virtual ~JxCopyFileMonitor() = default;
    virtual bool IsCancelled() = 0;
};

class JxCopyFile {
public:
    // Connects to the client `hostName` on behalf of `ownName`. The flag is
    // part of the protocol and not used here.
    CWzError GetConnection(const char* hostName, const char* ownName, bool flag);

    // Copies the files in order and stops at the first failure (files copied
    // before it stay copied). `monitor` may be null. The flag and the two
    // texts are part of the protocol and not used here.
    CWzError CopyFiles(std::vector<_JXS_FILE_COPY_INFO>& files, bool flag, JxCopyFileMonitor* monitor,
                       const std::string& text1, const std::string& text2);

    CWzError Disconnect();

    // The path a record copies from: source folder "/" file name (one "/"
    // between them); empty for a record whose texts are missing.
    static std::string SourcePath(const _JXS_FILE_COPY_INFO& file);
    bool IsConnected() const { return !m_host.empty(); }

private:
    CWzError CopyOne(const _JXS_FILE_COPY_INFO& file, JxCopyFileMonitor* monitor);

    std::string m_host;
};
