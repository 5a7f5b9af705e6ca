// Reading instance descriptions line by line into the setup API.
#include "JxsqlDMO/SqlSimDescription.h"

#include <strings.h>

#include <cctype>
#include <cerrno>
#include <initializer_list>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

#include "JxsqlDMO/SqlSimDatabaseOptions.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFormat.h"

namespace {

// One statement: its words before the first option, and its options.
struct Statement {
    std::vector<std::string> words;
    std::map<std::string, std::string> options;
};

CWzError Invalid(const std::string& text) {
    return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "%s", text.c_str());
}

CWzError SplitLine(const std::string& line, Statement& out) {
    struct Token {
        std::string text;
        bool quotedStart = false;  // a word that opens with a quote is never an option
    };
    std::vector<Token> tokens;
    Token current;
    bool inToken = false;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '\\' && i + 1 < line.size()) {
                current.text.push_back(line[++i]);
            } else if (c == '"') {
                quoted = false;
            } else {
                current.text.push_back(c);
            }
        } else if (c == '"') {
            if (!inToken) current.quotedStart = true;
            quoted = inToken = true;
        } else if (c == '#') {
            break;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            if (inToken) tokens.push_back(current);
            current = Token();
            inToken = false;
        } else {
            current.text.push_back(c);
            inToken = true;
        }
    }
    if (quoted) return Invalid("unterminated quote");
    if (inToken) tokens.push_back(current);
    for (const Token& token : tokens) {
        size_t eq = token.text.find('=');
        bool option = !token.quotedStart && eq != std::string::npos && eq > 0 && !out.words.empty();
        if (option) {
            std::string key = token.text.substr(0, eq);
            if (out.options.count(key) != 0) return Invalid("option [" + key + "] given twice");
            out.options[key] = token.text.substr(eq + 1);
        } else if (!out.options.empty()) {
            return Invalid("word [" + token.text + "] after the options");
        } else {
            out.words.push_back(token.text);
        }
    }
    return CWzError::Success();
}

// Reads the options of one statement, each at most once, and tells about
// any it did not know.
class Options {
public:
    explicit Options(std::map<std::string, std::string> options) : m_options(std::move(options)) {}

    CWzError Text(const char* key, std::string& value) {
        auto it = m_options.find(key);
        if (it != m_options.end()) {
            value = it->second;
            m_options.erase(it);
        }
        return CWzError::Success();
    }
    CWzError Number(const char* key, uint64_t& value) {
        auto it = m_options.find(key);
        if (it == m_options.end()) return CWzError::Success();
        const std::string text = it->second;
        m_options.erase(it);
        char* end = nullptr;
        errno = 0;
        unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
        if (text.empty() || text[0] == '-' || errno != 0 || end == nullptr || *end != '\0') {
            return Invalid(std::string("option [") + key + "] needs a number, not [" + text + "]");
        }
        value = parsed;
        return CWzError::Success();
    }
    CWzError Signed(const char* key, int64_t& value) {
        uint64_t number = static_cast<uint64_t>(value);
        CWzError err = Number(key, number);
        if (err.IsSuccess() && number > static_cast<uint64_t>(INT64_MAX)) {
            return Invalid(std::string("option [") + key + "] is too large");
        }
        value = static_cast<int64_t>(number);
        return err;
    }
    CWzError Flag(const char* key, bool& value) {
        auto it = m_options.find(key);
        if (it == m_options.end()) return CWzError::Success();
        const std::string text = it->second;
        m_options.erase(it);
        if (strcasecmp(text.c_str(), "yes") == 0 || text == "1" || strcasecmp(text.c_str(), "true") == 0) {
            value = true;
        } else if (strcasecmp(text.c_str(), "no") == 0 || text == "0" || strcasecmp(text.c_str(), "false") == 0) {
            value = false;
        } else {
            return Invalid(std::string("option [") + key + "] needs yes or no, not [" + text + "]");
        }
        return CWzError::Success();
    }
    // Fails on the first option no reader took.
    CWzError Finish() const {
        if (m_options.empty()) return CWzError::Success();
        return Invalid("unknown option [" + m_options.begin()->first + "]");
    }

private:
    std::map<std::string, std::string> m_options;
};

// The first failure of reads evaluated in order (the elements of a braced
// list are evaluated left to right, so Finish() comes last).
CWzError First(std::initializer_list<CWzError> results) {
    for (const CWzError& err : results) {
        if (err.IsError()) return err;
    }
    return CWzError::Success();
}

CWzError NeedWords(const Statement& s, size_t count, const char* usage) {
    if (s.words.size() != count) return Invalid(std::string("usage: ") + usage);
    return CWzError::Success();
}

CWzError ApplyInstance(const Statement& s, std::unique_ptr<SqlSimInstance>& instance) {
    CWzError err = NeedWords(s, 2, "instance HOST[/NAME] [options]");
    if (err.IsError()) return err;
    SqlSimServerSpec desc;
    desc.name = s.words[1];
    Options o(s.options);
    err = First({o.Text("version", desc.version), o.Flag("clustered", desc.clustered), o.Flag("running", desc.running),
              o.Flag("integrated", desc.integratedLogin), o.Finish()});
    if (err.IsError()) return err;
    instance = std::make_unique<SqlSimInstance>();
    return instance->Create(desc);
}

CWzError ApplyDatabase(const Statement& s, SqlSimInstance& instance) {
    CWzError err = NeedWords(s, 2, "database NAME [options]");
    if (err.IsError()) return err;
    SqlSimDatabaseSpec desc;
    desc.name = s.words[1];
    std::string state = "online";
    Options o(s.options);
    err = First({o.Text("state", state), o.Text("recovery", desc.recoveryModel), o.Flag("readonly", desc.readOnly),
              o.Text("access", desc.userAccess), o.Signed("created", desc.creationTime), o.Number("data", desc.dataSize),
              o.Number("log", desc.logSize), o.Finish()});
    if (err.IsError()) return err;
    desc.state = SqlDbStateFromText(state);
    if (desc.state == 0) return Invalid("unknown database state [" + state + "]");
    return instance.AddDatabase(desc);
}

CWzError ApplyFile(const Statement& s, SqlSimInstance& instance, bool log) {
    CWzError err = log ? NeedWords(s, 3, "logfile DATABASE LOGICAL [options]")
                       : NeedWords(s, 4, "file DATABASE GROUP LOGICAL [options]");
    if (err.IsError()) return err;
    SqlSimFileSpec desc;
    desc.database = s.words[1];
    desc.fileGroup = log ? std::string() : s.words[2];
    desc.logicalName = s.words.back();
    Options o(s.options);
    err = First({o.Number("size", desc.size), o.Text("path", desc.physicalName), o.Finish()});
    if (err.IsError()) return err;
    if (!log && desc.fileGroup.empty()) return Invalid("a data file needs a file group");
    return instance.AddFile(desc);
}

CWzError ApplyLogin(const Statement& s, SqlSimInstance& instance) {
    CWzError err = NeedWords(s, 2, "login NAME [options]");
    if (err.IsError()) return err;
    SqlSimLoginSpec desc;
    desc.name = s.words[1];
    std::string roles;
    Options o(s.options);
    err = First({o.Text("password", desc.password), o.Text("roles", roles), o.Flag("disabled", desc.disabled),
              o.Finish()});
    if (err.IsError()) return err;
    std::stringstream list(roles);
    std::string role;
    while (std::getline(list, role, ',')) {
        if (!role.empty()) desc.roles.push_back(role);
    }
    return instance.AddLogin(desc);
}

CWzError ApplyGroup(const Statement& s, SqlSimInstance& instance) {
    CWzError err = NeedWords(s, 2, "ag NAME [options]");
    if (err.IsError()) return err;
    SqlSimAvailabilityGroupSpec desc;
    desc.name = s.words[1];
    Options o(s.options);
    err = First({o.Text("guid", desc.guid), o.Text("preference", desc.backupPreference), o.Finish()});
    if (err.IsError()) return err;
    return instance.AddAvailabilityGroup(desc);
}

CWzError ApplyReplica(const Statement& s, SqlSimInstance& instance) {
    CWzError err = NeedWords(s, 3, "replica GROUP SERVER [options]");
    if (err.IsError()) return err;
    SqlSimReplicaSpec desc;
    desc.group = s.words[1];
    desc.serverName = s.words[2];
    uint64_t priority = static_cast<uint64_t>(desc.backupPriority);
    Options o(s.options);
    err = First({o.Text("role", desc.role), o.Text("mode", desc.availabilityMode), o.Text("failover", desc.failoverMode),
              o.Number("priority", priority), o.Text("endpoint", desc.endpointUrl), o.Finish()});
    if (err.IsError()) return err;
    if (priority > 100) return Invalid("priority must lie between 0 and 100");
    desc.backupPriority = static_cast<int>(priority);
    return instance.AddReplica(desc);
}

CWzError ApplyGroupDatabase(const Statement& s, SqlSimInstance& instance) {
    CWzError err = NeedWords(s, 3, "agdatabase GROUP DATABASE [sync=STATE]");
    if (err.IsError()) return err;
    std::string sync = "SYNCHRONIZED";
    Options o(s.options);
    err = First({o.Text("sync", sync), o.Finish()});
    if (err.IsError()) return err;
    return instance.JoinAvailabilityGroup(s.words[1], s.words[2], sync);
}

CWzError ApplyBackup(const Statement& s, SqlSimInstance& instance) {
    CWzError err = NeedWords(s, 2, "backup DATABASE type=D|I|L first=LSN last=LSN [options]");
    if (err.IsError()) return err;
    SqlSimBackupSpec desc;
    desc.database = s.words[1];
    std::string type;
    Options o(s.options);
    err = First({o.Text("type", type), o.Number("first", desc.firstLsn), o.Number("last", desc.lastLsn),
              o.Number("checkpoint", desc.checkpointLsn), o.Number("base", desc.databaseBackupLsn),
              o.Signed("start", desc.startTime), o.Signed("finish", desc.finishTime), o.Flag("copyonly", desc.copyOnly),
              o.Text("device", desc.device), o.Finish()});
    if (err.IsError()) return err;
    if (type.size() != 1) return Invalid("backup type must be D, I or L");
    desc.type = static_cast<char>(std::toupper(static_cast<unsigned char>(type[0])));
    if (desc.checkpointLsn == 0) desc.checkpointLsn = desc.firstLsn;
    if (desc.finishTime == 0) desc.finishTime = desc.startTime;
    return instance.AddBackupHistory(desc);
}

// "fulltextcatalog DATABASE at=SECONDS" and "fileschanged DATABASE at=SECONDS":
// when a full-text catalog was added, when files or file groups changed.
CWzError ApplyChangeTime(const Statement& s, SqlSimInstance& instance, const char* option) {
    CWzError err = NeedWords(s, 2, (s.words[0] + " DATABASE at=SECONDS").c_str());
    if (err.IsError()) return err;
    int64_t at = 0;
    Options o(s.options);
    err = First({o.Signed("at", at), o.Finish()});
    if (err.IsError()) return err;
    if (at <= 0) return Invalid(s.words[0] + " needs at=SECONDS");
    int64_t id = 0;
    err = instance.DatabaseId(s.words[1], id);
    if (err.IsError()) return err;
    return SqlSimSetDatabaseOption(instance, s.words[1], option, std::to_string(at));
}

CWzError ApplyStatement(const Statement& s, std::unique_ptr<SqlSimInstance>& instance,
                        std::vector<std::string>* created) {
    const std::string& verb = s.words[0];
    if (verb == "instance") {
        CWzError err = ApplyInstance(s, instance);
        if (err.IsSuccess() && created != nullptr) created->push_back(instance->Name());
        return err;
    }
    if (!instance) return Invalid("[" + verb + "] before the first instance line");
    if (verb == "database") return ApplyDatabase(s, *instance);
    if (verb == "filegroup") {
        CWzError err = NeedWords(s, 3, "filegroup DATABASE GROUP");
        if (err.IsError()) return err;
        if (!s.options.empty()) return Invalid("filegroup takes no options");
        return instance->AddFileGroup(s.words[1], s.words[2]);
    }
    if (verb == "file") return ApplyFile(s, *instance, false);
    if (verb == "logfile") return ApplyFile(s, *instance, true);
    if (verb == "login") return ApplyLogin(s, *instance);
    if (verb == "ag") return ApplyGroup(s, *instance);
    if (verb == "replica") return ApplyReplica(s, *instance);
    if (verb == "agdatabase") return ApplyGroupDatabase(s, *instance);
    if (verb == "backup") return ApplyBackup(s, *instance);
    if (verb == "fulltextcatalog") return ApplyChangeTime(s, *instance, kSqlSimOptionFullTextCatalogAdded);
    if (verb == "fileschanged") return ApplyChangeTime(s, *instance, kSqlSimOptionFilesChanged);
    return Invalid("unknown statement [" + verb + "]");
}

}  // namespace

CWzError SqlSimApplyDescription(const std::string& text, std::vector<std::string>* created) {
    std::unique_ptr<SqlSimInstance> instance;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        Statement statement;
        CWzError err = SplitLine(line, statement);
        if (err.IsSuccess() && statement.words.empty()) continue;
        if (err.IsSuccess()) err = ApplyStatement(statement, instance, created);
        if (err.IsError()) return err.Push(FXCODELOC, "line %d: %s", number, err.GetMessage().c_str());
    }
    return CWzError::Success();
}
