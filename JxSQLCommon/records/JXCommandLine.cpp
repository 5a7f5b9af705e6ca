// JXCommandLine: a tokenizer over one command-line text.
#include "JxSQLCommon/records/JXCommandLine.h"

#include <cstring>

#include "WzUtils/FXString.h"

bool JXCommandLine::setCommandLine(const char* line) {
    if (line == nullptr || *line == '\0') return false;
    m_workingCopy = line;
    m_cursor = 0;
    return true;
}

bool JXCommandLine::IsBlankAt(std::size_t pos) const {
    return pos < m_workingCopy.size() && (m_workingCopy[pos] == ' ' || m_workingCopy[pos] == '\t');
}

char JXCommandLine::getNextOption() {
    const std::size_t size = m_workingCopy.size();
    while (m_cursor < size && m_workingCopy[m_cursor] != '-' && m_workingCopy[m_cursor] != '/') ++m_cursor;
    if (m_cursor + 1 >= size) {
        m_cursor = size;
        return 0;
    }
    ++m_cursor;
    return m_workingCopy[m_cursor];
}

bool JXCommandLine::isOption(const std::string& name) {
    if (name.empty() || m_cursor >= m_workingCopy.size()) return false;
    if (m_workingCopy.compare(m_cursor, name.size(), name) != 0) return false;
    m_cursor += name.size() - 1;
    return true;
}

bool JXCommandLine::getArgument(char* out, std::size_t outSize) {
    if (out == nullptr || outSize == 0) return false;
    out[0] = '\0';
    const std::string& line = m_workingCopy;
    const std::size_t size = line.size();

    std::size_t pos = m_cursor < size ? m_cursor + 1 : size;  // past the option letter
    while (IsBlankAt(pos)) ++pos;

    std::string argument;
    std::size_t stop = 0;  // where the cursor stops
    if (pos < size && (line[pos] == '"' || line[pos] == '\'')) {
        const char quote = line[pos++];
        while (IsBlankAt(pos)) ++pos;
        const std::size_t close = line.find(quote, pos);
        if (close == std::string::npos) return false;
        argument = line.substr(pos, close - pos);
        // On the closing quote, not before it: a quoted text that ends in '-'
        // or '/' ("/var/opt/") must not pass for the next option sign.
        stop = close;
    } else {
        // The first character always belongs to the argument (an absolute path,
        // a negative number); a later option sign after a blank ends it.
        const std::size_t start = pos;
        if (pos < size) ++pos;
        while (pos < size && !((line[pos] == '-' || line[pos] == '/') && IsBlankAt(pos - 1))) ++pos;
        argument = line.substr(start, pos - start);
        stop = pos - 1;
    }
    FXString::TrimRight(argument, " \t");
    if (argument.size() >= outSize) return false;
    std::memcpy(out, argument.c_str(), argument.size() + 1);
    m_cursor = stop;
    return true;
}
