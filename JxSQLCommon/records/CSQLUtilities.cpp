// CSQLUtilities: process start and directory creation for the agent's tools.
#include "JxSQLCommon/records/CSQLUtilities.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>

#include "JxLib/EvDebug.h"
#include "JxLib/JxProcess.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFileSystem.h"

namespace {

// 0 when `path` is a directory afterwards, else the errno value; `made`
// tells whether this call made it.
int MakeOneDirectory(const std::string& path, bool& made) {
    made = false;
    wz::FileSystem& fs = wz::Fs();
    struct stat st {};
    if (fs.Stat(path, &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (fs.Mkdir(path, 0755) == 0) {
        made = true;
        return 0;
    }
    const int err = errno;
    // Another process may have made it meanwhile.
    if (err == EEXIST && fs.Stat(path, &st) == 0 && S_ISDIR(st.st_mode)) return 0;
    return err;
}

// Whether every character of a wide path is one UTF-8 can carry.
bool IsEncodable(const wchar_t* path) {
    for (; *path != L'\0'; ++path) {
        const auto c = static_cast<uint32_t>(*path);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    }
    return true;
}

}  // namespace

bool CSQLUtilities::createRecursiveDirectory(const wchar_t* path, unsigned int& error,
                                             std::vector<std::string>* created) {
    error = 0;
    if (path == nullptr || *path == L'\0' || !IsEncodable(path)) {
        error = EINVAL;
        return false;
    }
    const std::string target = FXString::ToString(path);
    // Every level from the first below the root down to the path itself.
    for (std::string::size_type slash = target.find('/', 1);; slash = target.find('/', slash + 1)) {
        const std::string level = target.substr(0, slash);
        if (!level.empty() && level.back() != '/') {
            bool made = false;
            const int err = MakeOneDirectory(level, made);
            if (made && created != nullptr) created->push_back(level);
            if (err != 0) {
                error = static_cast<unsigned int>(err);
                return false;
            }
        }
        if (slash == std::string::npos) return true;
    }
}

bool CSQLUtilities::createProcessAsUser(std::string user, std::string /*password*/, std::string command) {
    char errorText[1024];
    const int result = JxProcess::StartProcess("/", command.c_str(), errorText, sizeof errorText, 0);
    if (result != 1) {
        EvDebug log;
        log.Debug("CSQLUtilities::createProcessAsUser", "Failed to create process [%s] for user [%s]",
                  command.c_str(), user.c_str());
        log.Debug("CSQLUtilities::createProcessAsUser", "%s", errorText);
        return false;
    }
    return true;
}
