// Copies files into the index directories of the stand-in.
#include "JobResults/IndexFileCopy.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "WzUtils/WzFileSystem.h"

namespace jobresults {

bool CopyIntoIndex(const std::string& from, const std::string& directory, std::string& error) {
    const size_t slash = from.find_last_of('/');
    const std::string name = slash == std::string::npos ? from : from.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        error = "[" + from + "] names no file.";
        return false;
    }
    wz::FileSystem& fs = wz::Fs();
    const int in = fs.Open(from, O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (in < 0 || fs.Fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "Cannot read [" + from + "]: " + std::strerror(in < 0 ? errno : EISDIR);
        if (in >= 0) (void)fs.Close(in);
        return false;
    }
    std::string content;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = fs.Read(in, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<size_t>(n));
    (void)fs.Close(in);
    if (n < 0) {
        error = "Cannot read [" + from + "]: " + std::strerror(errno);
        return false;
    }
    if (wz::MakeDirectoryTree(directory) != 0 || !wz::WriteFileAtomically(directory + "/" + name, content)) {
        error = "Cannot write [" + name + "] into [" + directory + "]: " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace jobresults
