// SubClientCache: the text form of the cache that the log-dump job persists
// in the settings store and that an availability-group child sends to its
// master process.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SubClientCache.h"

namespace {

constexpr const char* kVersion = "SubClientCache/1";

std::string Escape(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else if (c == ';') out += "\\;";
        else if (c == '|') out += "\\|";
        else out += c;
    }
    return out;
}

bool Unescape(const std::string& value, std::string& out) {
    out.clear();
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size()) return false;
        switch (value[i]) {
            case '\\': out += '\\'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case ';': out += ';'; break;
            case '|': out += '|'; break;
            default: return false;
        }
    }
    return true;
}

bool ParseNumber(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

// Splits on `separator` where it is not escaped; the parts stay escaped.
std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out.back() += text[i];
            out.back() += text[++i];
        } else if (text[i] == separator) {
            out.emplace_back();
        } else {
            out.back() += text[i];
        }
    }
    return out;
}

}  // namespace

std::string SubClientCache::GetCacheAsString() const {
    std::ostringstream out;
    auto text = [&out](const char* key, const std::string& value) { out << ';' << key << '=' << Escape(value); };
    auto number = [&out](const char* key, uint64_t value) { out << ';' << key << '=' << value; };
    out << kVersion;
    number("subclientId", m_subclientId);
    text("subclientName", m_subclientName);
    number("backupSetId", m_backupSetId);
    number("instanceId", m_instanceId);
    text("instanceName", m_instanceName);
    text("instanceText1", m_instanceText1);
    text("instanceText2", m_instanceText2);
    number("queryTimeout", m_instanceNumber);
    number("clientId", m_clientId);
    text("clientName", m_clientText1);
    text("clientMangledName", m_clientText2);
    number("clientFlag1", m_clientFlag1 ? 1 : 0);
    number("clientFlag2", m_clientFlag2 ? 1 : 0);
    number("genericOptions", m_genericOptions);
    text("agName", m_agText1);
    text("agInstance", m_agText2);
    number("replicaClientId", m_replicaClientId);
    text("replicaClientName", m_replicaClientText1);
    text("replicaClientMangledName", m_replicaClientText2);
    text("collectFile", m_collectFile);
    number("dumpType", m_dumpType);
    number("useCache", m_useCache ? 1 : 0);
    number("valid", m_valid ? 1 : 0);
    number("dumpRunsOnSecondary", m_dumpRunsOnSecondary ? 1 : 0);
    number("csOnline", m_csOnline ? 1 : 0);
    for (const std::string& name : m_databaseNames) text("database", name);
    for (const auto& [name, info] : m_dbBackupInfo) {
        out << ";result=" << Escape(name) << '|' << info.number64 << '|' << info.number32 << '|'
            << Escape(info.firstText) << '|' << Escape(info.resultText);
    }
    return out.str();
}

bool SubClientCache::SetCacheFromString(const std::string& text) {
    const std::vector<std::string> entries = Split(text, ';');
    if (entries.front() != kVersion) return false;
    SubClientCache read;  // filled apart, taken over only when every line reads
    read.m_slaUpdateInterval = m_slaUpdateInterval;
    for (size_t i = 1; i < entries.size(); ++i) {
        const std::string& line = entries[i];
        const size_t eq = line.find('=');
        if (eq == std::string::npos) return false;
        const std::string key = line.substr(0, eq);
        const std::string raw = line.substr(eq + 1);
        std::string value;
        uint64_t n = 0;
        auto asText = [&](std::string& target) { return Unescape(raw, target); };
        auto asNumber = [&](uint64_t& target) { return ParseNumber(raw, target); };
        auto asFlag = [&](bool& target) {
            if (!ParseNumber(raw, n) || n > 1) return false;
            target = n == 1;
            return true;
        };
        bool ok = true;
        if (key == "subclientId") ok = asNumber(read.m_subclientId);
        else if (key == "subclientName") ok = asText(read.m_subclientName);
        else if (key == "backupSetId") ok = asNumber(read.m_backupSetId);
        else if (key == "instanceId") ok = asNumber(read.m_instanceId);
        else if (key == "instanceName") ok = asText(read.m_instanceName);
        else if (key == "instanceText1") ok = asText(read.m_instanceText1);
        else if (key == "instanceText2") ok = asText(read.m_instanceText2);
        else if (key == "queryTimeout") ok = asNumber(read.m_instanceNumber);
        else if (key == "clientId") ok = asNumber(read.m_clientId);
        else if (key == "clientName") ok = asText(read.m_clientText1);
        else if (key == "clientMangledName") ok = asText(read.m_clientText2);
        else if (key == "clientFlag1") ok = asFlag(read.m_clientFlag1);
        else if (key == "clientFlag2") ok = asFlag(read.m_clientFlag2);
        else if (key == "genericOptions") ok = asNumber(read.m_genericOptions);
        else if (key == "agName") ok = asText(read.m_agText1);
        else if (key == "agInstance") ok = asText(read.m_agText2);
        else if (key == "replicaClientId") ok = asNumber(read.m_replicaClientId);
        else if (key == "replicaClientName") ok = asText(read.m_replicaClientText1);
        else if (key == "replicaClientMangledName") ok = asText(read.m_replicaClientText2);
        else if (key == "collectFile") ok = asText(read.m_collectFile);
        else if (key == "dumpType") {
            ok = asNumber(n) && n <= UINT32_MAX;
            if (ok) read.m_dumpType = static_cast<uint32_t>(n);
        }
        else if (key == "useCache") ok = asFlag(read.m_useCache);
        else if (key == "valid") ok = asFlag(read.m_valid);
        else if (key == "dumpRunsOnSecondary") ok = asFlag(read.m_dumpRunsOnSecondary);
        else if (key == "csOnline") ok = asFlag(read.m_csOnline);
        else if (key == "database") ok = asText(value) && !value.empty() && read.m_databaseNames.insert(value).second;
        else if (key == "result") {
            const std::vector<std::string> f = Split(raw, '|');
            SqlDatabaseBackupInfo_Cache info;
            uint64_t n32 = 0;
            ok = f.size() == 5 && Unescape(f[0], value) && !value.empty() && ParseNumber(f[1], info.number64) &&
                 ParseNumber(f[2], n32) && n32 <= UINT32_MAX && Unescape(f[3], info.firstText) &&
                 Unescape(f[4], info.resultText);
            if (ok) {
                info.number32 = static_cast<uint32_t>(n32);
                info.detail.databaseName = value;
                ok = read.m_dbBackupInfo.emplace(value, std::move(info)).second;
            }
        } else {
            ok = false;
        }
        if (!ok) return false;
    }
    m_subclientId = read.m_subclientId;
    m_subclientName = read.m_subclientName;
    m_backupSetId = read.m_backupSetId;
    m_instanceId = read.m_instanceId;
    m_instanceName = read.m_instanceName;
    m_instanceText1 = read.m_instanceText1;
    m_instanceText2 = read.m_instanceText2;
    m_instanceNumber = read.m_instanceNumber;
    m_clientId = read.m_clientId;
    m_clientText1 = read.m_clientText1;
    m_clientText2 = read.m_clientText2;
    m_clientFlag1 = read.m_clientFlag1;
    m_clientFlag2 = read.m_clientFlag2;
    m_genericOptions = read.m_genericOptions;
    m_agText1 = read.m_agText1;
    m_agText2 = read.m_agText2;
    m_replicaClientId = read.m_replicaClientId;
    m_replicaClientText1 = read.m_replicaClientText1;
    m_replicaClientText2 = read.m_replicaClientText2;
    m_collectFile = read.m_collectFile;
    m_dumpType = read.m_dumpType;
    m_useCache = read.m_useCache;
    m_valid = read.m_valid;
    m_dumpRunsOnSecondary = read.m_dumpRunsOnSecondary;
    m_csOnline = read.m_csOnline;
    m_databaseNames = std::move(read.m_databaseNames);
    m_dbBackupInfo = std::move(read.m_dbBackupInfo);
    return true;
}
