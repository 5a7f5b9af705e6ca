// JXSnapClientAPI: set-up of the engine stand-in for tests and the demo
// (scripted failures, volume flags, engines and their capabilities).
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr const char* kFaults = "snapshots/faults";

std::string ReadSmallFile(const std::string& path) {
    std::string text;
    // A missing file reads as empty, an unreadable one as what could be read.
    (void)wz::ReadSmallFile(path, text);
    return text;
}

bool Clean(const std::string& text) {
    return text.find('\n') == std::string::npos && text.find('\t') == std::string::npos;
}

// Sets `key` to `value` in a file of "key<TAB>value" lines.
bool SetPair(const std::string& path, uint64_t key, uint64_t value) {
    std::istringstream lines(ReadSmallFile(path));
    std::string line, kept;
    const std::string prefix = std::to_string(key) + "\t";
    while (std::getline(lines, line)) {
        if (line.compare(0, prefix.size(), prefix) != 0) kept += line + "\n";
    }
    kept += prefix + std::to_string(value) + "\n";
    const size_t slash = path.find_last_of('/');
    return wz::MakeDirectoryTree(path.substr(0, slash)) == 0 && wz::WriteFileAtomically(path, kept);
}

}  // namespace

bool JXSnapClientAPI::ScriptFailure(const std::string& operation, int code, const std::string& text) {
    if (!Clean(operation) || !Clean(text)) return false;
    const std::string path = wz::PlatformPath(kFaults);
    const std::string line = operation + "\t" + std::to_string(code) + "\t" + text + "\n";
    return wz::MakeDirectoryTree(wz::PlatformPath("snapshots")) == 0 &&
           wz::WriteFileAtomically(path, ReadSmallFile(path) + line);
}

bool JXSnapClientAPI::TakeScriptedFailure(const std::string& operation) {
    const std::string path = wz::PlatformPath(kFaults);
    std::istringstream lines(ReadSmallFile(path));
    std::string line, kept;
    bool taken = false;
    while (std::getline(lines, line)) {
        if (!taken && line.compare(0, operation.size() + 1, operation + "\t") == 0) {
            const std::string rest = line.substr(operation.size() + 1);
            const size_t tab = rest.find('\t');
            const int code = std::atoi(rest.substr(0, tab).c_str());
            SetLastError(code != 0 ? code : kErrEngine,
                         tab == std::string::npos ? operation + " failed." : rest.substr(tab + 1));
            taken = true;
            continue;
        }
        kept += line + "\n";
    }
    if (taken) (void)wz::WriteFileAtomically(path, kept);  // a failure to drop it repeats the failure: harmless in tests
    return taken;
}

bool JXSnapClientAPI::SetVolumeFlags(uint64_t jobId, uint32_t volumeId, uint32_t flags) {
    return SetPair(StoreDirectory(jobId) + "/flags", volumeId, flags);
}

bool JXSnapClientAPI::SetSnapEngineForJob(uint64_t jobId, uint64_t engineId) {
    return wz::MakeDirectoryTree(StoreDirectory(jobId)) == 0 &&
           wz::WriteFileAtomically(StoreDirectory(jobId) + "/engine", std::to_string(engineId));
}

bool JXSnapClientAPI::SetEngineCapabilities(uint64_t engineId, uint64_t bits) {
    return SetPair(wz::PlatformPath("snapshots/engines"), engineId, bits);
}
