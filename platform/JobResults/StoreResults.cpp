// StoreResults: appending lines to a job-results file.
#include "JobResults/StoreResults.h"

#include "WzUtils/PlatformRoot.h"

StoreResults::StoreResults(std::string directory, std::string fileName)
    : m_directory(std::move(directory)), m_fileName(std::move(fileName)) {}

StoreResults::~StoreResults() { closeFile(); }

bool StoreResults::putLine(const std::string& line, bool newline) {
    if (m_file == nullptr) {
        if (!wz::MakeDirectories(m_directory)) return true;
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
