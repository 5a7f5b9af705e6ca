// ApplBackupContent: the content entries of a subclient held in memory, each
// with its kind (3: exclusion filters), in the order they were added.
// Entries are compared with regard to case unless told otherwise.
#pragma once

#include <string>
#include <utility>
#include <vector>

class BackupContent;

class ApplBackupContent {
public:
    void add(int kind, const std::string& text) { m_entries.emplace_back(kind, text); }
    void SetCaseSensitive(bool caseSensitive) { m_caseSensitive = caseSensitive; }

    // Replaces what `content` held by the entries of `kind`.
    void getContent(int kind, BackupContent& content) const;
    // Whether an entry of `kind` is `text` (case as set).
    bool contains(int kind, const std::string& text) const;

private:
    std::vector<std::pair<int, std::string>> m_entries;
    bool m_caseSensitive = true;
};
