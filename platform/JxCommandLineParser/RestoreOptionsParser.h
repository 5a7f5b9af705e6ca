// RestoreOptionsParser: the options of a restore job program.
//
// Besides the common options (CommandLineParser.h):
//   -rt <id>   the restore task's id (decimal)
#pragma once

#include "JxCommandLineParser/CommandLineParser.h"

class RestoreOptionsParser : public CommandLineParser {
public:
    uint64_t getRestoreTaskId() const { return m_restoreTaskId; }

protected:
    Match TakeOption(const std::string& name, const char* value, CWzError& error) override;

private:
    uint64_t m_restoreTaskId = 0;
};
