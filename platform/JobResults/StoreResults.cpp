// StoreResults: appending lines to a job-results file.
#include "JobResults/StoreResults.h"

#include <fcntl.h>

#include <cerrno>
#include <sstream>

#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

namespace {

std::string EscapeName(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

// The whole file (empty when it does not exist); false when it cannot be
// read, so that a rewrite never drops lines it did not see.
bool ReadAll(const std::string& path, std::string& content) {
    content.clear();
    const int fd = wz::Fs().Open(path, O_RDONLY);
    if (fd < 0) return errno == ENOENT;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = wz::Fs().Read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<size_t>(n));
    (void)wz::Fs().Close(fd);  // read-only: nothing to lose on close
    return n == 0;
}

}  // namespace

StoreResults::StoreResults(std::string directory, std::string fileName)
    : m_directory(std::move(directory)), m_fileName(std::move(fileName)) {}

StoreResults::~StoreResults() { closeFile(); }

bool StoreResults::putLine(const std::string& line, bool newline) {
    if (m_file == nullptr) {
        if (wz::MakeDirectoryTree(m_directory) != 0) return true;
        m_file = std::fopen(currentFilePath().c_str(), "a");
        if (m_file == nullptr) return true;
    }
    bool written = std::fwrite(line.data(), 1, line.size(), m_file) == line.size();
    if (written && newline) written = std::fputc('\n', m_file) != EOF;
    return !(written && std::fflush(m_file) == 0);
}

bool StoreResults::closeFile() {
    if (m_file == nullptr) return false;
    bool ok = std::fclose(m_file) == 0;
    m_file = nullptr;
    return ok;
}

bool StoreResults::setRestoreStatusOnObject(const std::string& name, int status, bool replace) {
    if (wz::MakeDirectoryTree(m_directory) != 0) return false;
    const std::string escaped = EscapeName(name);
    const std::string line = std::to_string(status) + "\t" + escaped + "\n";
    const std::string path = restoreStatusFilePath();
    std::string content;
    if (!ReadAll(path, content)) return false;
    if (!replace) return wz::WriteFileAtomically(path, content + line);
    std::istringstream in(content);
    std::string kept;
    std::string existing;
    while (std::getline(in, existing)) {
        const size_t tab = existing.find('\t');
        if (tab != std::string::npos && existing.compare(tab + 1, std::string::npos, escaped) == 0) continue;
        kept += existing + "\n";
    }
    return wz::WriteFileAtomically(path, kept + line);
}
