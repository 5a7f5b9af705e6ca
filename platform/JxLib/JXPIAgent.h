// Platform objects of the agent's settings store: the client (its name and
// job-results directory) and the central server's presence on this machine.
#pragma once

#include <string>

class JXPI_JxClient {
public:
    // The settings of the focus instance for an application type.
    explicit JXPI_JxClient(int appType = 0) { (void)appType; }

    // True when the focus instance has no settings at all.
    bool invalidJXPlatform() const;

    // This machine's client name: "sPhysicalNodeName" of the top section.
    bool getClientName(std::string& name);

    // "dJOBRESULTSDIR" of section "Machines/<client name>"; false (dir
    // unchanged, last error set) when absent or empty.
    bool getJobResultsDirectory(const std::string& clientName, std::string& dir);

    int getLastError() const { return m_lastError; }

    // The client's base home directory, where the agent's own libraries lie:
    // "Base" under the platform root; false when the root cannot be named.
    bool getBaseHomeDirectory(std::string& dir) const;

private:
    int m_lastError = 0;
};

class JXPI_JxServer {
public:
    // Valid when the focus instance's settings hold the section "JxServer"
    // (the central server's software is installed here).
    bool invalidJXPlatform() const;
};

// Production-data mounts: directories under the platform root where a
// component mounts copies of production data, registered with the library
// and entry that clean them up.
class JXPI_Production {
public:
    // Registers the mount kind (settings section "ProductionDataMounts/<kind>")
    // and returns its directory, created as needed; empty on failure or for a
    // kind that is not a single path level.
    std::string RegisterProductionDataMount(const std::string& kind, const std::string& libraryName,
                                            const std::string& cleanupEntry);

    // The directory of a mount kind, registered or not, without creating it;
    // empty for a kind that is not a single path level.
    static std::string ProductionDataMountDirectory(const std::string& kind);
};
