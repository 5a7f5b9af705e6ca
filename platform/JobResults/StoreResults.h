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

    // Records the restore status of one object (a database, a file group, a
    // file) as one line "<status>\t<name>" of kRestoreStatusFile. With
    // `replace` an earlier line of the same object is replaced, so the file
    // holds the object's last status; otherwise the line is added. A line
    // break or backslash in the name is written as "\n" or "\\". True when
    // the file was written.
    bool setRestoreStatusOnObject(const std::string& name, int status, bool replace);
    std::string restoreStatusFilePath() const { return m_directory + "/" + kRestoreStatusFile; }
    static constexpr const char* kRestoreStatusFile = "RestoreStatus.txt";

private:
    std::string m_directory;
    std::string m_fileName;
    std::FILE* m_file = nullptr;
};
