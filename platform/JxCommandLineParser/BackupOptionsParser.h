// BackupOptionsParser: the options of a backup job program.
//
// Besides the common options (CommandLineParser.h):
//   -cell <id>          the backup domain's id (decimal)
//   -a <number>         the application (subclient) number (decimal)
//   -restart <text>     the restart string the job manager gave the job
//   -ma <name>          the media agent
//   -tl2snap            a transaction-log-to-snapshot job
//   -dctm               the remote-blob-store content comes from a Documentum instance
//   -D, -I, -L          the phase: full, differential, transaction log
//   -type <flags>       the requested backup type (decimal flags: 1 full,
//                       2 log, 256 log without truncation, 4 differential)
//   -skipconversion     the job manager asks to skip the conversion rules
//   -alwayson           an availability-group child job
//   -rbsstreams <n>     data and log streams of an RBS job
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
    bool isDOption() const { return m_dOption; }
    bool isIOption() const { return m_iOption; }
    bool isLOption() const { return m_lOption; }
    unsigned long getBackupType() const { return static_cast<unsigned long>(m_backupType); }
    bool isSkipConversion() const { return m_skipConversion; }
    bool isAlwaysONJob() const { return m_alwaysOn; }
    // At most 64, the most streams a job uses.
    int getNumStreamsForRBS() const { return static_cast<int>(m_rbsStreams > 64 ? 64 : m_rbsStreams); }

protected:
    Match TakeOption(const std::string& name, const char* value, CWzError& error) override;

private:
    uint64_t m_jxCellId = 0;
    uint64_t m_appNumber = 0;
    std::string m_restartString;
    std::string m_mediaAgent;
    bool m_tlToSnap = false;
    bool m_dctm = false;
    bool m_dOption = false;
    bool m_iOption = false;
    bool m_lOption = false;
    uint64_t m_backupType = 0;
    bool m_skipConversion = false;
    bool m_alwaysOn = false;
    uint64_t m_rbsStreams = 0;
    std::string m_callerPort;
    std::string m_callerKey;
};
