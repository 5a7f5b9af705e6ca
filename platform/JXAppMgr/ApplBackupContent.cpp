// ApplBackupContent: a subclient's content entries held in memory.
#include "JXAppMgr/ApplBackupContent.h"

#include <strings.h>

#include "JXAppMgr/BackupContent.h"

void ApplBackupContent::getContent(int kind, BackupContent& content) const {
    content.clear();
    for (const auto& [entryKind, text] : m_entries) {
        if (entryKind == kind) content.add(text);
    }
}

bool ApplBackupContent::contains(int kind, const std::string& text) const {
    for (const auto& [entryKind, entry] : m_entries) {
        if (entryKind != kind) continue;
        if (m_caseSensitive ? entry == text : ::strcasecmp(entry.c_str(), text.c_str()) == 0) return true;
    }
    return false;
}
