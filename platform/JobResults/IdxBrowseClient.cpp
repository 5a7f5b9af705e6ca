// IdxBrowseClient: browse requests recorded under the platform root.
#include "JobResults/IdxBrowseClient.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

namespace {

// Pair of databrowse::BrowseRequest.
constexpr int kBrowseModule = 100;
constexpr int kBrowseMessage = 92;
// Bound on the request files of one root; a test never comes near it.
constexpr int kMaxRequests = 100000;

// Writes `text` into a new file; the errno of a failure, else 0.
int WriteNewFile(const std::string& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    size_t written = 0;
    int err = 0;
    while (written < text.size()) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            err = errno != 0 ? errno : EIO;
            break;
        }
        written += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) ::unlink(path.c_str());
    return err;
}

}  // namespace

std::string IdxBrowseClient::RequestDirectory() { return wz::PlatformPath("index/browse"); }

int IdxBrowseClient::Initialize(CNMessageBase request, CNMessageBase*, int, const char*, void*) {
    if (request.getModule() != kBrowseModule || request.getMessage() != kBrowseMessage) return kNotABrowseRequest;
    std::string text;
    if (request.serialize(text, true) != kMsgOk) return kNotABrowseRequest;
    const std::string directory = RequestDirectory();
    if (wz::MakeDirectoryTree(directory) != 0) return errno != 0 ? errno : EIO;
    for (int n = 1; n <= kMaxRequests; ++n) {
        int err = WriteNewFile(wz::Format("%s/request-%d.xml", directory.c_str(), n), text);
        if (err == EEXIST) continue;
        if (err == 0) m_initialized = true;
        return err;
    }
    return ENOSPC;
}
