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
    } else if (name == "-D" || name == "-I" || name == "-L" || name == "-skipconversion" || name == "-alwayson") {
        bool& flag = name == "-D"   ? m_dOption
                     : name == "-I" ? m_iOption
                     : name == "-L" ? m_lOption
                     : name == "-skipconversion" ? m_skipConversion
                                                 : m_alwaysOn;
        flag = true;
        return Match::Switch;
    } else if (name == "-type") {
        error = ReadNumber(name, value, m_backupType);
    } else if (name == "-jxscallerport" || name == "-jxscallerkey") {
        // The master's call-back address: CJxNetwork::AttachBackToCaller reads it.
        error = ReadText(name, value, name == "-jxscallerport" ? m_callerPort : m_callerKey);
    } else if (name == "-rbsstreams") {
        error = ReadNumber(name, value, m_rbsStreams);
    } else {
        return Match::No;
    }
    return Match::Value;
}
