// RestoreOptionsParser: the restore program's own options.
#include "JxCommandLineParser/RestoreOptionsParser.h"

RestoreOptionsParser::Match RestoreOptionsParser::TakeOption(const std::string& name, const char* value,
                                                             CWzError& error) {
    if (name != "-rt") return Match::No;
    error = ReadNumber(name, value, m_restoreTaskId);
    return Match::Value;
}
