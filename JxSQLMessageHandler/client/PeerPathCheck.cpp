// Checks of paths received from peers.
#include "JxSQLMessageHandler/client/PeerPathCheck.h"

#include <climits>
#include <vector>

#include "JxSQLMessageHandler/client/PeerPathRoots.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/WzFileSystem.h"

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

bool SqlIsPeerPathAllowed(const std::string& path, SqlPeerPathUse use, std::string& resolved, std::string& why) {
    if (!SqlIsAcceptablePeerPath(path, why)) return false;
    resolved = wz::ResolveThroughLinks(path);
    if (resolved.empty()) {
        why = "The path [" + path + "] cannot be resolved.";
        return false;
    }
    std::vector<std::string> roots;
    if (use == SqlPeerPathUse::kReadFile) {
        roots = SqlPeerFileRoots();
    } else if (std::string results = SqlOwnJobResultsDirectory(); !results.empty()) {
        roots.push_back(std::move(results));
    }
    for (const std::string& root : roots) {
        const std::string real = wz::ResolveThroughLinks(root);
        if (real.empty() || !wz::PathIsUnder(resolved, real)) continue;
        // The job-results directory itself is never removed, only what lies in it.
        if (use != SqlPeerPathUse::kCreateDirectory && use != SqlPeerPathUse::kReadFile &&
            resolved.size() == real.size()) {
            continue;
        }
        return true;
    }
    why = use == SqlPeerPathUse::kReadFile
              ? "The path [" + path + "] lies outside the folders peers may reach."
              : "The path [" + path + "] does not lie under the job-results directory.";
    if (resolved != path) why += " It leads to [" + resolved + "].";
    return false;
}
