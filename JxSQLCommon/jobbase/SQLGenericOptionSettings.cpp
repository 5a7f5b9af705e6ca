// SQLGenericOptionSettings: the option word reader.
#include "JxSQLCommon/jobbase/SQLGenericOptionSettings.h"

SQLGenericOptionSettings::SQLGenericOptionSettings(bool cache)
    : m_globalParamName("SQLGenericOptions"), m_cache(cache) {}

bool SQLGenericOptionSettings::getOptionValue(unsigned long& value, bool refresh) {
    if (!refresh && m_cached) {
        value = m_optionWord;
        return true;
    }
    unsigned long word = 0;
    getGlobalParamSettings(m_globalParamName, word);
    m_optionWord = word;
    m_cached = m_cache;
    value = m_optionWord;
    return true;
}
