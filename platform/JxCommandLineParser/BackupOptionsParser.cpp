// BackupOptionsParser: the backup program's own options.
#include "JxCommandLineParser/BackupOptionsParser.h"

BackupOptionsParser::Match BackupOptionsParser::TakeOption(const std::string& name, const char* value,
                                                           CWzError& error) {
    if (name == "-cell") {
        error = ReadNumber(name, value, m_jxCellId);
    } else if (name == "-a") {
        error = ReadNumber(name, value, m_appNumber);
    } else if (name == "-restart") {
        error = ReadText(name, value, m_restartString);
    } else if (name == "-ma") {
        error = ReadText(name, value, m_mediaAgent);
    } else if (name == "-tl2snap") {
        m_tlToSnap = true;
        return Match::Switch;
    } else if (name == "-dctm") {
        m_dctm = true;
        return Match::Switch;
    } else {
        return Match::No;
    }
    return Match::Value;
}
