// BackupContent: one kind of a subclient's content (its entries, or its
// exclusion filters) as the application model lists it.
#pragma once

#include <list>
#include <string>

class BackupContent {
public:
    const std::list<std::string>& getList() const { return m_entries; }
    void add(const std::string& entry) { m_entries.push_back(entry); }
    void clear() { m_entries.clear(); }

private:
    std::list<std::string> m_entries;
};
