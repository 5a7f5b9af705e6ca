// JobJournalReader: a small reader of the journal's flat JSON lines.
#include "JxJobClient/JobJournalReader.h"

#include <cstdlib>
#include <fstream>

#include "JxJobClient/JobJournal.h"

namespace jobmanager {

namespace {

class LineParser {
public:
    explicit LineParser(const std::string& text) : m_text(text) {}

    std::optional<JournalEntry> Parse() {
        JournalEntry entry;
        if (!Take('{')) return std::nullopt;
        bool first = true;
        while (!Take('}')) {
            if (!first && !Take(',')) return std::nullopt;
            first = false;
            std::string key;
            if (!String(key) || !Take(':')) return std::nullopt;
            if (Peek() == '[') {
                std::vector<std::string> list;
                if (!Array(list)) return std::nullopt;
                entry.lists[key] = std::move(list);
                continue;
            }
            std::string value;
            if (Peek() == '"' ? !String(value) : !Literal(value)) return std::nullopt;
            entry.values[key] = std::move(value);
        }
        SkipBlanks();
        if (m_pos != m_text.size()) return std::nullopt;
        auto op = entry.values.find("op");
        auto job = entry.values.find("job");
        if (op == entry.values.end() || job == entry.values.end() || job->second.empty()) return std::nullopt;
        char* end = nullptr;
        entry.job = std::strtoull(job->second.c_str(), &end, 10);
        if (*end != '\0') return std::nullopt;
        entry.op = op->second;
        return entry;
    }

private:
    void SkipBlanks() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t')) ++m_pos;
    }
    char Peek() {
        SkipBlanks();
        return m_pos < m_text.size() ? m_text[m_pos] : '\0';
    }
    bool Take(char c) {
        if (Peek() != c) return false;
        ++m_pos;
        return true;
    }

    bool Array(std::vector<std::string>& out) {
        if (!Take('[')) return false;
        if (Take(']')) return true;
        do {
            std::string item;
            if (!String(item)) return false;
            out.push_back(std::move(item));
        } while (Take(','));
        return Take(']');
    }

    // A number, true or false: the characters up to the next delimiter.
    bool Literal(std::string& out) {
        SkipBlanks();
        size_t start = m_pos;
        while (m_pos < m_text.size() && std::string_view(",}] \t").find(m_text[m_pos]) == std::string_view::npos) {
            ++m_pos;
        }
        out = m_text.substr(start, m_pos - start);
        return !out.empty();
    }

    bool String(std::string& out) {
        if (!Take('"')) return false;
        while (m_pos < m_text.size()) {
            char c = m_text[m_pos++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size()) return false;
            char e = m_text[m_pos++];
            switch (e) {
                case '"': case '\\': case '/': out += e; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    if (m_pos + 4 > m_text.size()) return false;
                    unsigned code = 0;
                    for (int i = 0; i < 4; ++i) {
                        char h = m_text[m_pos++];
                        unsigned digit = h >= '0' && h <= '9'   ? h - '0'
                                         : h >= 'a' && h <= 'f' ? h - 'a' + 10
                                         : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                                : 16;
                        if (digit == 16) return false;
                        code = code * 16 + digit;
                    }
                    // The writer escapes control characters only.
                    if (code >= 0x80) return false;
                    out += static_cast<char>(code);
                    break;
                }
                default: return false;
            }
        }
        return false;
    }

    const std::string& m_text;
    size_t m_pos = 0;
};

}  // namespace

std::string JournalEntry::Get(const std::string& key) const {
    auto it = values.find(key);
    return it == values.end() ? std::string() : it->second;
}

std::vector<std::string> JournalEntry::List(const std::string& key) const {
    auto it = lists.find(key);
    return it == lists.end() ? std::vector<std::string>() : it->second;
}

std::optional<JournalEntry> JobJournalReader::ParseLine(const std::string& line) { return LineParser(line).Parse(); }

std::optional<std::vector<JournalEntry>> JobJournalReader::Read(uint64_t jobId) {
    std::vector<JournalEntry> entries;
    std::ifstream in(JournalPath(jobId));
    std::string line;
    while (std::getline(in, line)) {
        std::optional<JournalEntry> entry = ParseLine(line);
        if (!entry) return std::nullopt;
        entries.push_back(std::move(*entry));
    }
    return entries;
}

std::vector<JournalEntry> JobJournalReader::WithOp(const std::vector<JournalEntry>& entries, const std::string& op) {
    std::vector<JournalEntry> found;
    for (const JournalEntry& e : entries) {
        if (e.op == op) found.push_back(e);
    }
    return found;
}

}  // namespace jobmanager
