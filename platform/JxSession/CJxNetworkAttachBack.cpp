// CJxNetwork::AttachBackToCaller: the connection of a child process back to
// the master process that started it, on the loopback port its command line
// names.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsSocket.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

constexpr int kConnectTimeoutSeconds = 60;

}  // namespace

CWzError CJxNetwork::AttachBackToCaller(int argc, char** argv) {
    const char* text = nullptr;
    for (int i = 1; argv != nullptr && i + 1 < argc; ++i) {
        if (argv[i] != nullptr && std::strcmp(argv[i], "-masterport") == 0) text = argv[i + 1];
    }
    if (text == nullptr) {
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "The command line names no master port."), EINVAL);
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long port = std::strtoul(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || port == 0 || port > 65535) {
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "Invalid master port [%s].", text), EINVAL);
    }
    Close();
    int fd = -1;
    CWzError e = jxsConnectLoopback(static_cast<uint16_t>(port), jxsDeadline(kConnectTimeoutSeconds), fd);
    if (e.IsError()) return Fail(e, static_cast<uint64_t>(FXErrorUtil::GetErrNo(e)));
    m_fd = fd;
    m_peerAbort.reset();
    return CWzError();
}
