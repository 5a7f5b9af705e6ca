// The record that lets a killed restore statement's placing be undone.
#include "JxsqlDMO/SqlSimRestorePlacing.h"

#include <strings.h>

#include <cerrno>
#include <optional>
#include <utility>

#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFileSystem.h"

namespace {

// One row per file placed; the database before the statement (its id and
// creation time, which tell it from one made since under its name, and its
// state; NULL: there was no database of that name) is on each of them.
constexpr const char* kTable =
    "CREATE TABLE IF NOT EXISTS restore_placing(database_name TEXT NOT NULL COLLATE NOCASE, target TEXT NOT NULL, "
    "temp TEXT NOT NULL, aside TEXT NOT NULL, placed INTEGER NOT NULL, prior_id INTEGER, prior_created INTEGER, "
    "prior_state INTEGER, prior_read_only INTEGER)";

struct Recorded {
    std::string target;
    std::string temp;
    std::string aside;
    bool placed = false;
};

// A database as the record keeps it.
struct PriorState {
    int64_t id = 0;
    int64_t created = 0;
    int state = 0;
    bool readOnly = false;

    bool SameDatabase(const PriorState& other) const { return id == other.id && created == other.created; }
};

// The database of that name now; none when there is none.
CWzError ReadDatabase(SimSqlDb& db, const std::string& database, std::optional<PriorState>& found) {
    found.reset();
    SimSqlStatement q = db.Prepare("SELECT id, create_time, state, read_only FROM databases WHERE name = ?");
    q.Bind(1, database);
    if (q.Step()) found = PriorState{q.Int(0), q.Int(1), static_cast<int>(q.Int(2)), q.Int(3) != 0};
    return q.Error();
}

CWzError ReadRecord(SimSqlDb& db, const std::string& database, std::vector<Recorded>& rows,
                    std::optional<PriorState>& prior) {
    if (CWzError e = db.Exec(kTable); e.IsError()) return e;
    SimSqlStatement q = db.Prepare(
        "SELECT target, temp, aside, placed, prior_id, prior_created, prior_state, prior_read_only "
        "FROM restore_placing WHERE database_name = ? ORDER BY rowid");
    q.Bind(1, database);
    while (q.Step()) {
        rows.push_back({q.Text(0), q.Text(1), q.Text(2), q.Int(3) != 0});
        if (!q.IsNull(4)) prior = PriorState{q.Int(4), q.Int(5), static_cast<int>(q.Int(6)), q.Int(7) != 0};
    }
    return q.Error();
}

// Drops the record of `database`, giving the database the state it had
// before the statement when `restoreState`; one transaction.
CWzError Forget(SqlSimInstance& instance, const std::string& database, bool restoreState) {
    SimSqlDb& db = instance.Db();
    return db.RunInTransaction([&] {
        std::vector<Recorded> rows;
        std::optional<PriorState> prior;
        if (CWzError e = ReadRecord(db, database, rows, prior); e.IsError()) return e;
        if (restoreState && prior) {
            CWzError e = db.Prepare("UPDATE databases SET state = ?, read_only = ? WHERE name = ?")
                             .Bind(1, int64_t{prior->state})
                             .Bind(2, int64_t{prior->readOnly})
                             .Bind(3, database)
                             .Run();
            if (e.IsError()) return e;
        }
        return db.Prepare("DELETE FROM restore_placing WHERE database_name = ?").Bind(1, database).Run();
    });
}

}  // namespace

CWzError SqlSimRestorePlacing::PutBackKilled(SqlSimInstance& instance, const std::string& database) {
    std::vector<Recorded> rows;
    std::optional<PriorState> prior;
    if (CWzError e = ReadRecord(instance.Db(), database, rows, prior); e.IsError()) return e;
    if (rows.empty()) return CWzError::Success();
    const bool placed = rows.front().placed;
    // A database dropped, or made anew under the name, since the statement
    // was killed has files the record does not know: they are left as they
    // are, and so is the old content set aside.
    std::optional<PriorState> now;
    if (CWzError e = ReadDatabase(instance.Db(), database, now); e.IsError()) return e;
    const bool same = prior ? now && prior->SameDatabase(*now) : !now;
    wz::FilePlacement placement;
    for (const Recorded& r : rows) {
        // A path another database has taken since is that database's file.
        std::string owner;
        if (CWzError e = SqlSimFileOwner(instance, r.target, owner); e.IsError()) return e;
        if ((placed || same) && (owner.empty() || strcasecmp(owner.c_str(), database.c_str()) == 0)) {
            placement.Resume(r.target, r.aside);
        }
    }
    std::string error;
    if (placed) {
        placement.Keep();
    } else if (!placement.PutBack(error)) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL,
                                         "The files an interrupted restore of database [%s] set aside could not all "
                                         "be put back: %s.",
                                         database.c_str(), error.c_str());
    }
    for (const Recorded& r : rows) {
        (void)wz::Fs().Unlink(r.temp);  // most are placed or never made; one that stays only takes space
    }
    return Forget(instance, database, !placed && same);
}

CWzError SqlSimRestorePlacing::Begin(const std::vector<SqlSimPlacedFile>& files) {
    m_rows.clear();
    if (files.empty()) return CWzError::Success();  // nothing is placed: nothing to undo
    for (const SqlSimPlacedFile& f : files) {
        Row row{f.target, f.temp, wz::FilePlacement::AsideName(f.target)};
        if (row.aside.empty() && errno != ENOENT) {
            return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot set [%s] aside", f.target.c_str());
        }
        m_rows.push_back(std::move(row));
    }
    SimSqlDb& db = m_instance.Db();
    CWzError recorded = db.RunInTransaction([&] {
        if (CWzError e = db.Exec(kTable); e.IsError()) return e;
        std::optional<PriorState> prior;
        if (CWzError e = ReadDatabase(db, m_database, prior); e.IsError()) return e;
        for (const Row& row : m_rows) {
            SimSqlStatement insert = db.Prepare("INSERT INTO restore_placing VALUES(?, ?, ?, ?, 0, ?, ?, ?, ?)");
            insert.Bind(1, m_database).Bind(2, row.target).Bind(3, row.temp).Bind(4, row.aside);
            if (prior) {
                insert.Bind(5, prior->id).Bind(6, prior->created);
                insert.Bind(7, int64_t{prior->state}).Bind(8, int64_t{prior->readOnly});
            } else {
                insert.BindNull(5).BindNull(6).BindNull(7).BindNull(8);
            }
            if (CWzError e = insert.Run(); e.IsError()) return e;
        }
        return prior ? SqlSimSetRestoredState(m_instance, prior->id, SQLDB_STATE_RESTORING, false)
                     : CWzError::Success();
    });
    if (recorded.IsError()) m_rows.clear();
    return recorded;
}

bool SqlSimRestorePlacing::Place(const std::string& target, std::string& error) {
    for (const Row& row : m_rows) {
        if (row.target == target) return m_placement.Place(row.temp, row.target, row.aside, error);
    }
    error = "Cannot place \"" + target + "\": it was not recorded";
    return false;
}

CWzError SqlSimRestorePlacing::MarkPlaced() {
    return m_instance.Db()
        .Prepare("UPDATE restore_placing SET placed = 1 WHERE database_name = ?")
        .Bind(1, m_database)
        .Run();
}

void SqlSimRestorePlacing::Keep() {
    m_placement.Keep();
    m_rows.clear();
    // A record left behind names old files already gone: the next statement
    // of the database drops it.
    (void)Forget(m_instance, m_database, false);
}

bool SqlSimRestorePlacing::PutBack(std::string& error) {
    std::string notBack;
    if (m_placement.PutBack(notBack)) {
        m_rows.clear();
        // The files are back; should the state not follow, the database
        // stays RESTORING and the next statement of it gives the state back.
        (void)Forget(m_instance, m_database, true);
        return true;
    }
    error = "The files of the database could not all be put back: " + notBack + ".";
    int64_t id = 0;
    if (m_instance.DatabaseId(m_database, id).IsError()) return false;  // a new name: no state to mark
    if (CWzError e = SqlSimSetRestoredState(m_instance, id, SQLDB_STATE_SUSPECT, false); e.IsError()) {
        error += " The database could not be marked SUSPECT: " + e.GetMessage();
    } else {
        error += " The database is SUSPECT.";
    }
    return false;
}
