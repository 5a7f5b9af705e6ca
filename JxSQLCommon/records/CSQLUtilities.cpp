// CSQLUtilities: process start and directory creation for the agent's tools.
#include "JxSQLCommon/records/CSQLUtilities.h"

#include <sys/stat.h>

#include <cerrno>

#include "WzUtils/Utf8.h"

namespace {

// 0 when `path` is a directory afterwards, else the errno value.
int MakeOneDirectory(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (::mkdir(path.c_str(), 0755) == 0) return 0;
    const int err = errno;
    // Another process may have made it meanwhile.
    if (err == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return 0;
    return err;
}

// The UTF-8 form of a wide path; false for a character UTF-8 cannot carry.
bool ToUtf8(const wchar_t* path, std::string& out) {
    for (; *path != L'\0'; ++path) {
        unsigned char bytes[4];
        const std::size_t n = wz::EncodeUtf8(static_cast<char32_t>(*path), bytes);
        if (n == 0) return false;
        out.append(reinterpret_cast<const char*>(bytes), n);
    }
    return true;
}

}  // namespace

bool CSQLUtilities::createRecursiveDirectory(const wchar_t* path, unsigned int& error) {
    error = 0;
    std::string target;
    if (path == nullptr || *path == L'\0' || !ToUtf8(path, target)) {
        error = EINVAL;
        return false;
    }
    // Every level from the first below the root down to the path itself.
    for (std::string::size_type slash = target.find('/', 1);; slash = target.find('/', slash + 1)) {
        const std::string level = target.substr(0, slash);
        if (!level.empty() && level.back() != '/') {
            const int err = MakeOneDirectory(level);
            if (err != 0) {
                error = static_cast<unsigned int>(err);
                return false;
            }
        }
        if (slash == std::string::npos) return true;
    }
}
