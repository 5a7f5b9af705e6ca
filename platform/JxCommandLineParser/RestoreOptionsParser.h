// RestoreOptionsParser: the options of a restore job program.
//
// Besides the common options (CommandLineParser.h):
//   -rt <id>     the restore task's id (decimal)
//   -cell <id>   the backup domain's id (decimal; 0 when not given)
#pragma once

#include "JxCommandLineParser/CommandLineParser.h"

class RestoreOptionsParser : public CommandLineParser {
public:
    uint64_t getRestoreTaskId() const { return m_restoreTaskId; }
    uint64_t getJxCellId() const { return m_jxCellId; }

protected:
    Match TakeOption(const std::string& name, const char* value, CWzError& error) override;

private:
    uint64_t m_restoreTaskId = 0;
    uint64_t m_jxCellId = 0;
};
