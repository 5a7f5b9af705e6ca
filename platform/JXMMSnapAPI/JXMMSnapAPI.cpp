// JXMMSnapAPI: replication records under the platform root.
#include "JXMMSnapAPI/JXMMSnapAPI.h"

#include <cerrno>
#include <cstring>
#include <sstream>

#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

namespace {

std::string RecordPath(int engineKind, uint64_t appNumber) {
    return wz::PlatformPath("replication/" + std::to_string(engineKind) + "/" + std::to_string(appNumber));
}

}  // namespace

int JXMMSnapAPI::isReplicationEnabled(uint64_t appNumber, int, bool& enabled, int& kind, std::string& error) {
    enabled = false;
    const std::string path = RecordPath(getKind(), appNumber);
    std::string text;
    if (!wz::ReadSmallFile(path, text, 64)) {
        if (errno == ENOENT) return 0;  // no record: not enabled
        error = "Cannot read the replication record [" + path + "]: " + std::strerror(errno);
        return kErrRecord;
    }
    std::istringstream fields(text);
    int flag = -1;
    int replicationKind = 0;
    std::string rest;
    if (!(fields >> flag >> replicationKind) || (flag != 0 && flag != 1) || (fields >> rest)) {
        error = "The replication record [" + path + "] is malformed.";
        return kErrRecord;
    }
    enabled = flag == 1;
    kind = replicationKind;
    return 0;
}

bool JXMMSnapAPI::SetReplication(int engineKind, uint64_t appNumber, bool enabled, int replicationKind) {
    const std::string path = RecordPath(engineKind, appNumber);
    return wz::MakeDirectoryTree(path.substr(0, path.find_last_of('/'))) == 0 &&
           wz::WriteFileAtomically(path, std::string(enabled ? "1 " : "0 ") + std::to_string(replicationKind) + "\n");
}
