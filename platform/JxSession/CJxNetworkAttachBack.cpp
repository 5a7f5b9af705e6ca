// CJxNetwork::AttachBackToCaller: the connection of a started program back
// to the caller that listens for it, on the loopback port and with the
// one-time key its command line names.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsSocket.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

const char* const kCallerPort = "-jxscallerport";
const char* const kCallerKey = "-jxscallerkey";
constexpr size_t kKeyLength = 32;
constexpr int kConnectTimeoutSeconds = 120;

}  // namespace

CWzError CJxNetwork::AttachBackToCaller(int argc, char** argv, bool& flag) {
    flag = false;
    std::string portText, key;
    for (int i = 1; argv != nullptr && i + 1 < argc; ++i) {
        if (argv[i] == nullptr || argv[i + 1] == nullptr) continue;
        if (std::strcmp(argv[i], kCallerPort) == 0) portText = argv[i + 1];
        if (std::strcmp(argv[i], kCallerKey) == 0) key = argv[i + 1];
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long port = portText.empty() ? 0 : std::strtoul(portText.c_str(), &end, 10);
    if (errno != 0 || port == 0 || port > 65535 || *end != '\0' || key.size() != kKeyLength) {
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "No caller to connect back to."), EINVAL);
    }
    Close();
    const int64_t deadline = jxsDeadline(kConnectTimeoutSeconds);
    int fd = -1;
    if (CWzError e = jxsConnectLoopback(static_cast<uint16_t>(port), deadline, fd); e.IsError()) {
        return Fail(e, ECONNREFUSED);
    }
    int err = 0;
    if (jxsWriteAll(fd, key.data(), key.size(), deadline, err) != jxsIoStatus::Done) {
        ::close(fd);
        flag = err == 0;
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, err != 0 ? err : ETIMEDOUT, "Cannot reach the caller."),
                    static_cast<uint64_t>(err != 0 ? err : ETIMEDOUT));
    }
    m_fd = fd;
    m_peerAbort.reset();
    return CWzError();
}
