// ISQLBackup: the interface an agent's backup program drives a backup job
// through. Pure operations only; the backup job classes implement them.
#pragma once

class ISQLBackup {
public:
    // Writes the collect file of the job's phase.
    virtual bool generateCollectFile() = 0;
    // Runs the phase: collect file, then the walk over it.
    virtual bool backup() = 0;
    // Backs up one database of the collect file.
    virtual bool doDbBackup(const wchar_t* databaseName, unsigned long collectFileOffset, bool& connectionValid,
                            bool& converted) = 0;
    // Walks the collect file of a database subclient.
    virtual bool doDbSubclientBackup() = 0;

protected:
    ISQLBackup() = default;
    ~ISQLBackup() = default;
};
