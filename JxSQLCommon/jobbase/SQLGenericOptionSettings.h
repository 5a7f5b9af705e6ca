// SQLGenericOptionSettings: the domain-wide option word held in the global
// parameter "SQLGenericOptions", and its bits.
#pragma once

#include "JxSQLCommon/jobbase/SQLAdditionalSettings.h"

class SQLGenericOptionSettings : public SQLAdditionalSettings {
public:
    // With `cache` the first value read is kept for later reads that do not
    // ask for a refresh.
    explicit SQLGenericOptionSettings(bool cache = true);

    // Reads the option word (0 when the parameter is absent or invalid).
    bool getOptionValue(unsigned long& value, bool refresh) override;
    using SQLAdditionalSettings::getOptionValue;

    unsigned long optionWord() const { return m_optionWord; }

    // Bits of the word as last read.
    bool isDonotDeleteNonExistentDB() const { return m_optionWord & 0x01; }
    bool isSkipBackup_SingleUserModeDB() const { return m_optionWord & 0x02; }
    bool isSkipBackup_ReadOnlyDB() const { return m_optionWord & 0x04; }
    bool isBackup_LogShippedDB() const { return m_optionWord & 0x08; }
    bool isSkipDiffLogBackup_ReadOnlyDB() const { return m_optionWord & 0x10; }
    bool isMarkSkippedItemFailed() const { return m_optionWord & 0x20; }
    bool isSkipReplicaCheckForCopyOnlyFull() const { return m_optionWord & 0x40; }

private:
    std::string m_globalParamName;
    unsigned long m_optionWord = 0;
    bool m_cache;
    bool m_cached = false;
};
