// jxmountsvc: stand-in of a media agent's on-demand mounting service.
//
// Started by JXOnDemandSvcClient::SubmitTask with "--target <instance>": it
// listens on a loopback port, registers the port under the instance name,
// serves one session and ends. The session carries one Pmn::MAMountPointReq
// and gets one Pmn::MAMountPointResp whose error record holds 0 or a code.
//
// Mount: the subclient's disk-library mount paths (ArMgrClientAPI) become the
// symbolic links "1", "2", ... in the mount folder; a subclient without mount
// paths gets 4306. Unmount: the links in the mount folder are removed (only
// links: nothing is ever deleted through them). Refresh: answered with 0.
// A code written to "media/mountsvc/<subclient id>.error" under the platform
// root is answered instead, for tests; one written to
// "media/mountsvc/<subclient id>.unmount-error" is answered to the next
// unmount request only (the file is removed), which leaves the links.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ArMgrClientAPI/ArMgrClientAPI.h"
#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/PmnMessages.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsTargets.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr int64_t kNoMountPoints = 4306;
constexpr int64_t kBadRequest = 87;
constexpr int64_t kAcceptWaitMs = 120000;   // platform time before an unused service gives up
constexpr int kSessionTimeoutSeconds = 180;

EvDebug& Log() {
    static EvDebug log("jxmountsvc");
    return log;
}

int64_t ScriptedError(int64_t subclientId) {
    std::ifstream in(wz::PlatformPath("media/mountsvc/" + std::to_string(subclientId) + ".error"));
    long long code = 0;
    return (in >> code) ? code : 0;
}

// The code of a one-time unmount failure, consumed by this call; 0 when none.
int64_t ScriptedUnmountError(int64_t subclientId) {
    const std::string path = wz::PlatformPath("media/mountsvc/" + std::to_string(subclientId) + ".unmount-error");
    long long code = 0;
    {
        std::ifstream in(path);
        if (!(in >> code)) return 0;
    }
    (void)wz::Fs().Unlink(path);
    return code;
}

bool IsLink(const std::string& path) {
    struct stat info {};
    return wz::Fs().Lstat(path, &info) == 0 && S_ISLNK(info.st_mode);
}

int64_t Mount(int64_t subclientId, const std::string& folder) {
    std::vector<ArMgrMountPath> paths;
    if (ArMgrClientAPI::getSubclientMountpathList(static_cast<uint64_t>(subclientId), 0, true, true, paths) != 0 ||
        paths.empty()) {
        return kNoMountPoints;
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string link = folder + "/" + std::to_string(i + 1);
        if (IsLink(link)) (void)wz::Fs().Unlink(link);  // a link of an earlier mount is replaced
        if (::symlink(paths[i].path.c_str(), link.c_str()) != 0) {
            EV_ERROR(Log(), "Cannot link %s to %s: %s", link.c_str(), paths[i].path.c_str(), std::strerror(errno));
            return errno;
        }
    }
    return 0;
}

int64_t Unmount(const std::string& folder) {
    std::vector<std::string> names;
    if (wz::Fs().ReadDirectory(folder, names) != 0) return 0;  // nothing mounted there
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        if (name != "." && name != ".." && IsLink(path) && wz::Fs().Unlink(path) != 0) return errno;
    }
    return 0;
}

int64_t Serve(const CNMessageBase& request) {
    if (request.getModule() != 22 || request.getMessage() != 690) return kBadRequest;
    const int64_t subclientId = request.getint64(Pmn::MAMountPointReq::kSubclientId);
    if (subclientId <= 0) return kBadRequest;
    if (const int64_t scripted = ScriptedError(subclientId); scripted != 0) return scripted;
    if (request.getint64(Pmn::MAMountPointReq::kRefreshCache) == 1) return 0;
    const std::string folder = request.getstring(Pmn::MAMountPointReq::kMountPath);
    struct stat info {};
    if (folder.empty() || folder[0] != '/' || FXPath::HasParentLevel(folder) || wz::Fs().Stat(folder, &info) != 0 ||
        !S_ISDIR(info.st_mode)) {
        return kBadRequest;
    }
    if (request.getint64(Pmn::MAMountPointReq::kMount) == 1) return Mount(subclientId, folder);
    if (request.getint64(Pmn::MAMountPointReq::kUnmount) == 1) {
        if (const int64_t scripted = ScriptedUnmountError(subclientId); scripted != 0) return scripted;
        return Unmount(folder);
    }
    return kBadRequest;
}

int Listen(uint16_t& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

int RunSession(int fd) {
    CJxNetwork session(fd);
    jxsExecuteRemoteDllType descriptor;
    std::string caller;
    if (session.ReadAttachRequest(descriptor, caller, kSessionTimeoutSeconds).IsError() ||
        session.ReplyAttach(0, "", kSessionTimeoutSeconds).IsError()) {
        return 1;
    }
    bool flag = false;
    CNMessageBase* received = nullptr;
    if (session.ReceiveXMLMessage(nullptr, received, nullptr, 0, kSessionTimeoutSeconds, flag).IsError()) return 1;
    std::unique_ptr<CNMessageBase> request(received);
    const int64_t code = Serve(*request);
    EV_INFO(Log(), "Mount request of subclient %" PRId64 " answered %" PRId64,
            request->getint64(Pmn::MAMountPointReq::kSubclientId), code);
    Pmn::MAMountPointError error;
    error.setint64(Pmn::MAMountPointError::kErrorCode, code);
    Pmn::MAMountPointResp answer;
    answer.setObjectAccessor(Pmn::MAMountPointResp::kError, error);
    if (session.SendXMLMessage(answer, 0, kSessionTimeoutSeconds, flag).IsError()) return 1;
    // The caller ends the session; answer its disconnect.
    unsigned long messageCode = 0;
    jxsDatabuf_v2 buffer;
    if (session.ReceiveXDRMessage(&messageCode, &buffer, nullptr, 0, kSessionTimeoutSeconds, flag).IsSuccess() &&
        (messageCode == JXS_MSG_DISCONNECT || messageCode == JXS_MSG_DISCONNECT_V2)) {
        (void)session.ReplyDisconnect(kSessionTimeoutSeconds, flag);  // the session ends either way
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string target;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::printf("usage: jxmountsvc --target <instance name>\n"
                        "Serves one disk-library mount, unmount or refresh request and ends.\n");
            return 0;
        }
        if (arg == "--target" && i + 1 < argc) target = argv[++i];
    }
    if (target.empty()) {
        std::fprintf(stderr, "jxmountsvc: --target is required\n");
        return 2;
    }
    uint16_t port = 0;
    int listener = Listen(port);
    if (listener < 0 || !jxsRegisterTarget(target, port)) {
        std::fprintf(stderr, "jxmountsvc: cannot listen: %s\n", std::strerror(errno));
        return 1;
    }
    pollfd waiting{listener, POLLIN, 0};
    int ready = ::poll(&waiting, 1, static_cast<int>(wz::RealMs(kAcceptWaitMs)));
    int fd = ready > 0 ? ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    ::close(listener);
    if (fd < 0) return 1;
    return RunSession(fd);
}
