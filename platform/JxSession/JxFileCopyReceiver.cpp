// The receiving side of a file copy: the host entry jxsFileCopyReceiver.
//
// Each file goes into a temporary file in the destination's folder and is
// renamed over the destination only after the whole announced byte count
// has arrived with a matching checksum and has been flushed to disk; any
// failure removes the temporary file and leaves the destination untouched.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "JxSession/JxCopyFile.h"
#include "JxSession/jxsFileCopyRecords.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/WzFormat.h"

namespace {

struct Failure {
    int code = 0;
    std::string text;
    explicit operator bool() const { return code != 0; }
};

// A destination must be an absolute path without ".." levels.
Failure CheckDestination(const std::string& path, const std::string& fileName) {
    if (path.empty() || path[0] != '/' || path.size() >= PATH_MAX) {
        return {EINVAL, "destination [" + path + "] is not an absolute path"};
    }
    if (FXPath::HasParentLevel(path)) return {EINVAL, "destination [" + path + "] holds a \"..\" level"};
    if (!FXPath::IsPlainName(fileName)) {
        return {EINVAL, "invalid file name [" + fileName + "]"};
    }
    return {};
}

class Receiver {
public:
    explicit Receiver(CJxNetwork* session) : m_session(session) {}
    ~Receiver() { Discard(); }

    void Serve();

private:
    void Begin(const jxsFileCopyBegin& begin);
    void Chunk(const jxsFileCopyChunk& chunk);
    void End(const jxsFileCopyEnd& end);
    Failure Finish(const jxsFileCopyEnd& end);
    void Reply(const Failure& failure);
    void Discard();

    CJxNetwork* m_session;
    int m_fd = -1;
    std::string m_temporary;
    std::string m_destination;
    uint64_t m_announced = 0;
    uint64_t m_written = 0;
    uint64_t m_checksum = kJxsChecksumSeed;
    Failure m_failure;  // of the file in progress; the remaining chunks are drained
};

void Receiver::Serve() {
    for (;;) {
        // Room for whichever record arrives; the layer zero-fills it first.
        alignas(8) unsigned char record[std::max({sizeof(jxsFileCopyBegin), sizeof(jxsFileCopyChunk),
                                                  sizeof(jxsFileCopyEnd)})] = {};
        jxsDatabuf_v2 buffer;
        buffer.setExternalBuffer(record, sizeof record);
        jxsHostProtocolHeader header;
        unsigned long code = 0;
        bool flag = false;
        if (m_session->ReceiveXDRMessage(&code, &buffer, &header, 0, kJxsFileCopyTimeout, flag).IsError()) return;
        if (code == JXS_MSG_DISCONNECT || code == JXS_MSG_DISCONNECT_V2) {
            m_session->ReplyDisconnect(kJxsFileCopyTimeout, flag);
            return;
        }
        switch (code) {
        case JXS_MSG_FILECOPY_BEGIN: Begin(*reinterpret_cast<jxsFileCopyBegin*>(record)); break;
        case JXS_MSG_FILECOPY_CHUNK: Chunk(*reinterpret_cast<jxsFileCopyChunk*>(record)); break;
        case JXS_MSG_FILECOPY_END: End(*reinterpret_cast<jxsFileCopyEnd*>(record)); break;
        default: {
            jxsStatus status{2, EPROTO, 2};
            m_session->AbortConnection(status, kJxsFileCopyTimeout, flag);
            return;
        }
        }
        CJxNetwork::FreeReceivedMessage(code, &buffer);
    }
}

void Receiver::Begin(const jxsFileCopyBegin& begin) {
    Discard();
    m_failure = {};
    std::string path = begin.destinationPath ? begin.destinationPath : "";
    std::string name = begin.fileName ? begin.fileName : "";
    Failure failure = CheckDestination(path, name);
    std::error_code ec;
    if (!failure && std::filesystem::is_directory(path, ec)) path += "/" + name;
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (!failure) {
        std::filesystem::create_directories(folder, ec);
        if (ec) failure = {ec.value(), "cannot create folder [" + folder + "]: " + ec.message()};
    }
    if (!failure) {
        m_temporary = path + ".jxpart.XXXXXX";
        m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
        if (m_fd < 0) {
            failure = {errno, "cannot create a file beside [" + path + "]"};
            m_temporary.clear();
        }
    }
    m_destination = path;
    m_announced = begin.size;
    m_written = 0;
    m_checksum = kJxsChecksumSeed;
    Reply(failure);
    m_failure = failure;
}

void Receiver::Chunk(const jxsFileCopyChunk& chunk) {
    if (m_failure) return;
    if (m_fd < 0) {
        m_failure = {EPROTO, "data before the start of a copy"};
        return;
    }
    if (chunk.length > m_announced - m_written) {
        m_failure = {EFBIG, "more bytes than announced for [" + m_destination + "]"};
        return;
    }
    size_t done = 0;
    while (done < chunk.length) {
        ssize_t n = ::write(m_fd, chunk.data + done, chunk.length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_failure = {n < 0 ? errno : EIO, "write to [" + m_destination + "] failed"};
            return;
        }
        done += static_cast<size_t>(n);
    }
    m_checksum = jxsFileCopyChecksum(m_checksum, chunk.data, chunk.length);
    m_written += chunk.length;
}

void Receiver::End(const jxsFileCopyEnd& end) {
    Failure failure = m_failure ? m_failure : Finish(end);
    if (failure) Discard();
    Reply(failure);
    m_failure = {};
}

Failure Receiver::Finish(const jxsFileCopyEnd& end) {
    if (m_fd < 0) return {EPROTO, "end of a copy that did not start"};
    if (m_written != m_announced || end.size != m_written) {
        return {EIO, wz::Format("[%s]: %llu bytes announced, %llu sent, %llu received", m_destination.c_str(),
                                static_cast<unsigned long long>(m_announced), static_cast<unsigned long long>(end.size),
                                static_cast<unsigned long long>(m_written))};
    }
    if (end.checksum != m_checksum) return {EIO, "checksum mismatch for [" + m_destination + "]"};
    if (::fsync(m_fd) != 0) return {errno, "cannot flush [" + m_destination + "]"};
    int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) return {errno, "cannot close [" + m_destination + "]"};
    if (::rename(m_temporary.c_str(), m_destination.c_str()) != 0) {
        return {errno, "cannot put [" + m_destination + "] in place"};
    }
    m_temporary.clear();
    // The rename itself is made durable by flushing the folder.
    std::string folder = std::filesystem::path(m_destination).parent_path().string();
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

void Receiver::Reply(const Failure& failure) {
    jxsFileCopyStatus status;
    status.code = failure.code;
    std::string text = failure.text;
    status.text = text.data();
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(&status, sizeof status);
    bool flag = false;
    m_session->SendXDRMessage(JXS_MSG_FILECOPY_STATUS, &buffer, 0, kJxsFileCopyTimeout, flag);
}

void Receiver::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

}  // namespace

extern "C" void jxsFileCopyReceiver(CJxNetwork* session, unsigned long) {
    if (session == nullptr) return;
    jxsRegisterFileCopyRecords();
    Receiver(session).Serve();
}
