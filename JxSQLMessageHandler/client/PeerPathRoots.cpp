// The folders peers may reach on this machine.
#include "JxSQLMessageHandler/client/PeerPathRoots.h"

#include "JxLib/JXPIAgent.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/SQLDirectorySettings.h"
#include "JxsqlDMO/SqlSimInstanceName.h"

std::string SqlOwnJobResultsDirectory() {
    JXPI_JxClient client;
    std::string name, directory;
    if (!client.getClientName(name) || !client.getJobResultsDirectory(name, directory)) return {};
    return directory;
}

std::vector<std::string> SqlPeerFileRoots() {
    std::vector<std::string> roots;
    std::string configured;
    if (JXPlatformInfo().getString(kPeerPathRootsSection, kPeerPathRootsKey, configured) && !configured.empty()) {
        for (size_t start = 0; start <= configured.size();) {
            size_t end = configured.find(':', start);
            if (end == std::string::npos) end = configured.size();
            std::string root = configured.substr(start, end - start);
            if (!root.empty() && root[0] == '/') roots.push_back(std::move(root));
            start = end + 1;
        }
        return roots;
    }
    if (std::string results = SqlOwnJobResultsDirectory(); !results.empty()) roots.push_back(results);
    for (std::string& folder : SqlSimInstanceName::DataDirectories("mssql")) roots.push_back(std::move(folder));
    if (std::string mounts = JXPI_Production::ProductionDataMountDirectory(SnapMountProdDirectory::kMountKind);
        !mounts.empty()) {
        roots.push_back(mounts);
    }
    return roots;
}
