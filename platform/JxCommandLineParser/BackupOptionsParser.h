// BackupOptionsParser: the options of a backup job program.
//
// Besides the common options (CommandLineParser.h):
//   -cell <id>          the backup domain's id (decimal)
//   -a <number>         the application (subclient) number (decimal)
//   -restart <text>     the restart string the job manager gave the job
//   -ma <name>          the media agent
//   -tl2snap            a transaction-log-to-snapshot job
//   -dctm               the remote-blob-store content comes from a Documentum instance
#pragma once

#include "JxCommandLineParser/CommandLineParser.h"

class BackupOptionsParser : public CommandLineParser {
public:
    uint64_t getJxCellId() const { return m_jxCellId; }
    uint64_t getApplicationNumber() const { return m_appNumber; }
    const std::string& getFullRestartString() const { return m_restartString; }
    const std::string& getMediaAgent() const { return m_mediaAgent; }
    bool isTLToSnapJob() const { return m_tlToSnap; }
    bool isDctmJob() const { return m_dctm; }

protected:
    Match TakeOption(const std::string& name, const char* value, CWzError& error) override;

private:
    uint64_t m_jxCellId = 0;
    uint64_t m_appNumber = 0;
    std::string m_restartString;
    std::string m_mediaAgent;
    bool m_tlToSnap = false;
    bool m_dctm = false;
};
