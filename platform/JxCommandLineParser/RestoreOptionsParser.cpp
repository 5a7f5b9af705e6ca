// RestoreOptionsParser: the restore program's own options.
#include "JxCommandLineParser/RestoreOptionsParser.h"

RestoreOptionsParser::Match RestoreOptionsParser::TakeOption(const std::string& name, const char* value,
                                                             CWzError& error) {
    if (name == "-rt") {
        error = ReadNumber(name, value, m_restoreTaskId);
    } else if (name == "-cell") {
        error = ReadNumber(name, value, m_jxCellId);
    } else {
        return Match::No;
    }
    return Match::Value;
}
