// Checks of paths received from peers.
#include "JxSQLMessageHandler/client/PeerPathCheck.h"

#include <climits>

#include "WzUtils/FXPath.h"

bool SqlIsAcceptablePeerPath(const std::string& path, std::string& why) {
    if (path.empty() || path[0] != '/') {
        why = "The path [" + path + "] is not an absolute path.";
        return false;
    }
    if (path.size() >= PATH_MAX) {
        why = "The path is longer than the system allows.";
        return false;
    }
    if (FXPath::HasParentLevel(path)) {
        why = "The path [" + path + "] holds a \"..\" level.";
        return false;
    }
    return true;
}
