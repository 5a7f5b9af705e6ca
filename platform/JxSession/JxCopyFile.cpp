// File copy to another client of the simulated domain: resolve the client,
// then copy through a temporary file and a rename, all through the
// file-system seam.
#include "JxSession/JxCopyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "JxLib/EvDebug.h"
#include "JxSession/jxsTargets.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr size_t kBlockBytes = 64 * 1024;

// The text of a zero-terminated area; false when it is empty or fills the area.
bool AreaText(const char* area, std::string& text) {
    size_t length = ::strnlen(area, kJxsFileCopyPathBytes);
    if (length == 0 || length == kJxsFileCopyPathBytes) return false;
    text.assign(area, length);
    return true;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

class ScopedFd {
public:
    explicit ScopedFd(int fd) : m_fd(fd) {}
    ~ScopedFd() { Close(); }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int get() const { return m_fd; }
    int Close() {
        int rc = m_fd >= 0 ? wz::Fs().Close(m_fd) : 0;
        m_fd = -1;
        return rc;
    }

private:
    int m_fd;
};

// A new file beside `target` that no other copy uses; its descriptor, or -1.
int CreateTemporary(const std::string& folder, const std::string& name, std::string& temporary) {
    static std::atomic<unsigned> s_sequence{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = JoinPath(folder, "." + name + "." + std::to_string(::getpid()) + "." +
                                         std::to_string(s_sequence.fetch_add(1)));
        int fd = wz::Fs().Open(temporary, O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Copies the bytes of `in` into `out`; an error names `source` or `target`.
CWzError CopyBytes(int in, int out, const std::string& source, const std::string& target,
                   JxCopyFileMonitor* monitor) {
    std::string block(kBlockBytes, '\0');
    for (;;) {
        if (monitor != nullptr && monitor->IsCancelled()) {
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_ABORT, "Copy of [%s] cancelled.", source.c_str());
        }
        ssize_t n = wz::Fs().Read(in, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Cannot read [%s].", source.c_str());
        if (n == 0) return CWzError::Success();
        if (!wz::WriteAll(out, block.data(), static_cast<size_t>(n))) {
            return FXErrorUtil::ErrorErrNo(FXCODELOC, errno != 0 ? errno : EIO, "Cannot write [%s].", target.c_str());
        }
    }
}

}  // namespace

CWzError JxCopyFile::GetConnection(const char* hostName, const char* ownName, bool) {
    if (hostName == nullptr || *hostName == '\0') {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "No destination client given.");
    }
    uint16_t port = 0;
    CWzError e = jxsResolveTarget(hostName, port);
    if (e.IsError()) {
        return e.Push(FXCODELOC, "Cannot reach client [%s] for [%s].", hostName, ownName != nullptr ? ownName : "");
    }
    m_host = hostName;
    return CWzError::Success();
}

std::string JxCopyFile::SourcePath(const _JXS_FILE_COPY_INFO& file) {
    std::string folder, name;
    if (!AreaText(file.sourceFolder, folder) || !AreaText(file.request.fileName, name)) return {};
    return JoinPath(folder, name);
}

CWzError JxCopyFile::Disconnect() {
    m_host.clear();
    return CWzError::Success();
}

CWzError JxCopyFile::CopyFiles(std::vector<_JXS_FILE_COPY_INFO>& files, bool, JxCopyFileMonitor* monitor,
                               const std::string&, const std::string&) {
    if (!IsConnected()) return FXErrorUtil::ErrorErrNo(FXCODELOC, ENOTCONN, "No connection to a client.");
    for (const _JXS_FILE_COPY_INFO& file : files) {
        CWzError e = CopyOne(file, monitor);
        if (e.IsError()) {
            EvDebug log;
            EV_ERROR(log, "Copy to client [%s] failed: %s", m_host.c_str(), e.AsString().c_str());
            return e;
        }
    }
    return CWzError::Success();
}

CWzError JxCopyFile::CopyOne(const _JXS_FILE_COPY_INFO& file, JxCopyFileMonitor* monitor) {
    std::string folder, name, destinationFolder;
    if (!AreaText(file.sourceFolder, folder) || !AreaText(file.request.fileName, name) ||
        !AreaText(file.request.destinationFolder, destinationFolder)) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "Incomplete file copy record.");
    }
    const std::string source = SourcePath(file);
    const std::string target = JoinPath(destinationFolder, name);

    wz::FileSystem& fs = wz::Fs();
    ScopedFd in(fs.Open(source, O_RDONLY));
    if (in.get() < 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Cannot open [%s].", source.c_str());
    struct stat st {};
    if (fs.Fstat(in.get(), &st) != 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Cannot stat [%s].", source.c_str());
    if (S_ISDIR(st.st_mode)) return FXErrorUtil::ErrorErrNo(FXCODELOC, EISDIR, "[%s] is a directory.", source.c_str());

    if (wz::MakeDirectoryTree(destinationFolder) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno != 0 ? errno : EIO, "Cannot create folder [%s].",
                                       destinationFolder.c_str());
    }
    std::string temporary;
    ScopedFd out(CreateTemporary(destinationFolder, name, temporary));
    if (out.get() < 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Cannot create a file in [%s].", destinationFolder.c_str());
    }
    CWzError e = CopyBytes(in.get(), out.get(), source, target, monitor);
    if (e.IsSuccess() && (fs.Fchmod(out.get(), st.st_mode & 0777) != 0 || fs.Fsync(out.get()) != 0)) {
        e = FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Cannot write [%s].", target.c_str());
    }
    if (out.Close() != 0 && e.IsSuccess()) e = FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Cannot write [%s].", target.c_str());
    if (e.IsSuccess() && monitor != nullptr && monitor->IsCancelled()) {
        e = FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_ABORT, "Copy of [%s] cancelled.", source.c_str());
    }
    if (e.IsSuccess() && fs.Rename(temporary, target) != 0) {
        e = FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Cannot replace [%s].", target.c_str());
    }
    if (e.IsError()) (void)fs.Unlink(temporary);  // the copy's own error is the one to report
    return e;
}
