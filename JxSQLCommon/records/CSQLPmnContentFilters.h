// CSQLPmnContentFilters: which databases of an instance are left out of
// backups and of auto-discovery.
//
// The exclusion patterns come from the setting "sDBExclusionPatterns" of
// section "MSSQLAgent" (patterns joined by ':') or, when that setting is
// absent, from the subclient's exclusion filters. Patterns are wildcards ('*'
// any run, '?' one character) matched against the whole name without regard
// to case. Usage: construct, LoadBackupSelectionPatterns once, then
// ShouldSelectDBForBackup per candidate, then (auto-discovery)
// GetDBsExcludedFromAutoDiscovery.
#pragma once

#include <list>
#include <string>

#include "JxLib/EvDebug.h"
#include "WzUtils/CWzError.h"

class Subclient;

class CSQLPmnContentFilters : public EvDebug {
public:
    // Loads the patterns, replacing earlier ones. `subclient` may be null when
    // the setting is present. Errors (code 1994) leave no patterns, so every
    // database is selected.
    CWzError LoadBackupSelectionPatterns(Subclient* subclient);

    // True when the database is to be backed up or discovered: no patterns,
    // or none matches. A match is logged and recorded.
    bool ShouldSelectDBForBackup(std::string dbName);

    // True when some pattern matches; the name is then recorded (once per
    // call, so a name tested twice is recorded twice).
    bool DBNameMatchesExclusionPattern(std::string dbName);

    // One wildcard match.
    bool DBNameMatchesPattern(std::string dbName, std::string pattern);

    // Replaces `out` with the names turned away so far, in test order.
    void GetDBsExcludedFromAutoDiscovery(std::list<std::string>& out) const { out = m_excludedDatabases; }

    const std::list<std::string>& exclusionPatterns() const { return m_exclusionPatterns; }

private:
    std::list<std::string> m_exclusionPatterns;
    std::list<std::string> m_excludedDatabases;
};
