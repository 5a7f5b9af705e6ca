// The sending side of a file copy.
#include "JxSession/JxCopyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "JxSession/jxsFileCopyRecords.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXPath.h"

JxCopyFile::JxCopyFile() { jxsRegisterFileCopyRecords(); }

JxCopyFile::~JxCopyFile() { Disconnect(); }

CWzError JxCopyFile::GetConnection(const char* hostName, const char* ownName, bool) {
    if (hostName == nullptr || *hostName == '\0') {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "no destination host for the file copy");
    }
    jxsExecuteRemoteDllType descriptor;
    std::strncpy(descriptor.libraryName, kJxsFileCopyLibrary, sizeof descriptor.libraryName - 1);
    std::strncpy(descriptor.entryName, kJxsFileCopyEntry, sizeof descriptor.entryName - 1);
    bool flag = false;
    return m_session.Attach_RemoteDLL(hostName, &descriptor, ownName, kJxsFileCopyTimeout, flag);
}

CWzError JxCopyFile::CopySingleFile(_JXS_FILE_COPY_INFO& info, bool) {
    if (info.sourceFolder.empty() || info.sourceFolder[0] != '/' || FXPath::HasParentLevel(info.sourceFolder) ||
        !FXPath::IsPlainName(info.fileName)) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "invalid source file [%s] in folder [%s]",
                                       info.fileName.c_str(), info.sourceFolder.c_str());
    }
    if (!m_session.IsConnected()) return FXErrorUtil::ErrorErrNo(FXCODELOC, ENOTCONN, "no file-copy connection");
    std::string source = info.sourceFolder + "/" + info.fileName;
    int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot open [%s]", source.c_str());
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int err = S_ISREG(st.st_mode) ? errno : EISDIR;
        ::close(fd);
        return FXErrorUtil::ErrorErrNo(FXCODELOC, err, "[%s] is not a readable file", source.c_str());
    }

    jxsFileCopyBegin begin;
    begin.destinationPath = info.destinationPath.data();
    begin.fileName = info.fileName.data();
    begin.size = static_cast<uint64_t>(st.st_size);
    begin.option = info.copyOption;
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(&begin, sizeof begin);
    bool flag = false;
    CWzError err = m_session.SendXDRMessage(JXS_MSG_FILECOPY_BEGIN, &buffer, 0, kJxsFileCopyTimeout, flag);
    if (err.IsSuccess()) err = ReceiveStatus("start");
    uint64_t sent = 0, checksum = kJxsChecksumSeed;
    if (err.IsSuccess()) err = SendBytes(fd, begin.size, sent, checksum);
    ::close(fd);
    if (err.IsError()) return err.Push(FXCODELOC, "copy of [%s] failed", source.c_str());

    jxsFileCopyEnd end;
    end.size = sent;
    end.checksum = checksum;
    buffer.setExternalBuffer(&end, sizeof end);
    err = m_session.SendXDRMessage(JXS_MSG_FILECOPY_END, &buffer, 0, kJxsFileCopyTimeout, flag);
    if (err.IsSuccess()) err = ReceiveStatus("finish");
    if (err.IsError()) return err.Push(FXCODELOC, "copy of [%s] failed", source.c_str());
    return CWzError::Success();
}

// Sends the file's bytes as read now; a file that changes size meanwhile
// ends with another count than announced, which the receiver refuses.
CWzError JxCopyFile::SendBytes(int fd, uint64_t size, uint64_t& sent, uint64_t& checksum) {
    std::vector<char> data(kJxsFileCopyChunkBytes);
    jxsFileCopyChunk chunk;
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(&chunk, sizeof chunk);
    while (sent < size) {
        ssize_t n = ::read(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "read failed after %llu bytes",
                                                  static_cast<unsigned long long>(sent));
        if (n == 0) break;
        chunk.length = static_cast<uint32_t>(n);
        chunk.data = data.data();
        bool flag = false;
        CWzError err = m_session.SendXDRMessage(JXS_MSG_FILECOPY_CHUNK, &buffer, 0, kJxsFileCopyTimeout, flag);
        if (err.IsError()) return err;
        checksum = jxsFileCopyChecksum(checksum, data.data(), static_cast<size_t>(n));
        sent += static_cast<uint64_t>(n);
    }
    return CWzError::Success();
}

CWzError JxCopyFile::ReceiveStatus(const char* step) {
    jxsFileCopyStatus status;
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(&status, sizeof status);
    unsigned long code = 0;
    bool flag = false;
    CWzError err = m_session.ReceiveXDRMessage(&code, &buffer, nullptr, 0, kJxsFileCopyTimeout, flag);
    if (err.IsSuccess() && code != JXS_MSG_FILECOPY_STATUS) {
        err = FXErrorUtil::ErrorErrNo(FXCODELOC, EPROTO, "unexpected message 0x%lx from the receiver", code);
    } else if (err.IsSuccess() && status.code != 0) {
        err = FXErrorUtil::ErrorErrNo(FXCODELOC, status.code, "the destination refused to %s the copy: %s", step,
                                      status.text != nullptr ? status.text : "");
    }
    CJxNetwork::FreeReceivedMessage(code, &buffer);
    return err;
}

CWzError JxCopyFile::Disconnect() {
    bool flag = false;
    return m_session.Disconnect(kJxsFileCopyTimeout, flag);
}
