// CsqlDMO::AttachDatabase: registers existing database files with an instance.
#include <sys/stat.h>

#include <sstream>
#include <vector>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimDatabaseIds.h"
#include "Messages/CNMessageBase.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr int kFileData = 0;
constexpr int kFileLog = 1;

// The attach entry of a database (message class 34/20) as XML text: field 1
// the name to attach under, field 3 the paths of its files.
constexpr int kAttachEntryModule = 34;
constexpr int kAttachEntryMessage = 20;

// Turns a serialised attach entry into the line form; false when the text
// is not one.
bool LinesFromAttachEntry(const std::string& xml, std::string& lines) {
    CNMessageBase entry(kAttachEntryModule, kAttachEntryMessage);
    if (entry.unserialize(xml) != kMsgOk || entry.getModule() != kAttachEntryModule ||
        entry.getMessage() != kAttachEntryMessage) {
        return false;
    }
    lines = entry.getstring(1, 1);
    if (lines.find('\n') != std::string::npos) return false;
    for (const std::string& file : entry.getliststring(3, 3)) {
        if (file.find('\n') != std::string::npos) return false;
        lines += "\n" + file;
    }
    return true;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool CsqlDMO::AttachDatabase(std::string instanceName, std::string attachInfo, std::string& errorText) {
    auto fail = [&](const std::string& text) {
        errorText = text;
        return Fail("AttachDatabase", text);
    };
    if (!Connect(instanceName)) return fail(m_lastError);
    const size_t start = attachInfo.find_first_not_of(" \t\r\n");
    if (start != std::string::npos && attachInfo[start] == '<') {
        std::string converted;
        if (!LinesFromAttachEntry(attachInfo, converted)) return fail("The attach description cannot be read.");
        attachInfo = converted;
    }
    std::istringstream lines(attachInfo);
    std::string database, line;
    std::vector<std::string> files;
    std::getline(lines, database);
    while (std::getline(lines, line)) {
        if (!line.empty()) files.push_back(line);
    }
    if (database.empty() || files.empty()) return fail("The attach description names no database or no files.");
    for (const std::string& file : files) {
        struct stat st {};
        if (file[0] != '/' || ::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            return fail(wz::Format("Database file [%s] of [%s] cannot be found.", file.c_str(), database.c_str()));
        }
    }
    int64_t existing = 0;
    if (m_instance->DatabaseId(database, existing).IsSuccess()) {
        return fail(wz::Format("Database [%s] already exists on [%s].", database.c_str(), instanceName.c_str()));
    }

    SimSqlDb& db = m_instance->Db();
    CWzError err = db.Exec("BEGIN IMMEDIATE");
    if (err.IsError()) return fail(err.GetMessage());
    // The database starts with an LSN state of its own, whatever held its id.
    int64_t id = 0;
    err = SqlSimNewDatabaseId(*m_instance, database, kSqlSimFirstUserDatabaseId, id);
    if (err.IsSuccess()) {
        // An attached database is online at once.
        err = db.Prepare("INSERT INTO databases VALUES(?, ?, ?, 'FULL', 0, 'MULTI_USER', strftime('%s','now'), NULL, "
                         "NULL)")
                  .Bind(1, id)
                  .Bind(2, database)
                  .Bind(3, int64_t{SQLDB_STATE_ONLINE})
                  .Run();
    }
    if (err.IsSuccess()) err = db.Prepare("INSERT INTO filegroups VALUES(?, 1, 'PRIMARY', 1)").Bind(1, id).Run();
    for (size_t i = 0; i < files.size() && err.IsSuccess(); ++i) {
        struct stat st {};
        ::stat(files[i].c_str(), &st);
        bool log = EndsWith(files[i], ".ldf");
        std::string logical = i == 0 ? database : wz::Format("%s_%zu", database.c_str(), i);
        SimSqlStatement insert = db.Prepare("INSERT INTO files VALUES(?, ?, ?, ?, ?, ?, ?)");
        insert.Bind(1, id).Bind(2, static_cast<int64_t>(i + 1));
        if (log) {
            insert.BindNull(3);
        } else {
            insert.Bind(3, int64_t{1});
        }
        err = insert.Bind(4, logical)
                  .Bind(5, files[i])
                  .Bind(6, int64_t{log ? kFileLog : kFileData})
                  .Bind(7, static_cast<int64_t>(st.st_size))
                  .Run();
    }
    if (err.IsError()) {
        (void)db.Exec("ROLLBACK");  // the failure before it is the one reported
        return fail(err.GetMessage());
    }
    err = db.Exec("COMMIT");
    if (err.IsError()) {
        (void)db.Exec("ROLLBACK");  // the failure before it is the one reported
        return fail(err.GetMessage());
    }
    return true;
}
