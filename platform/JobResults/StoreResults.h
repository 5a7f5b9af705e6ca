// StoreResults: a job's files in its job-results directory.
//
// Lines are appended to the current file ("backup.out" until another is
// chosen), which stays open until closeFile.
#pragma once

#include <cstdio>
#include <string>

class StoreResults {
public:
    explicit StoreResults(std::string directory, std::string fileName = "backup.out");
    virtual ~StoreResults();
    StoreResults(const StoreResults&) = delete;
    StoreResults& operator=(const StoreResults&) = delete;

    const std::string& getDirectory() const { return m_directory; }
    std::string currentFilePath() const { return m_directory + "/" + m_fileName; }

    // Appends `line` (and a line break when `newline`) to the current file.
    // Follows the store's error-flag convention: false when the line was
    // written, true when it could not be.
    bool putLine(const std::string& line, bool newline);

    // Closes the current file; true when it was open and closed cleanly.
    bool closeFile();

private:
    std::string m_directory;
    std::string m_fileName;
    std::FILE* m_file = nullptr;
};
