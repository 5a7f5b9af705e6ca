// SqlSimRestorePlacing: how a statement that restores a database's files (a
// restore set, a snapshot revert) puts them in place so that its process may
// be killed at any moment without leaving the database ONLINE over files its
// catalogue does not describe.
//
// Before it sets aside or places any file, the statement records in the
// catalogue, in a transaction of its own (Begin), every file it places: the
// target, its temporary file, and the name the old file goes aside to. In
// the same transaction an existing database is marked RESTORING, as the
// engine marks a database whose restore has begun. The statement's own
// catalogue change marks the record placed in its transaction (MarkPlaced);
// the record goes once the old files are removed (Keep) or back (PutBack,
// which gives the database its state from before the statement too).
//
// The next restore statement of the database first finishes what a killed
// one left (PutBackKilled): a placing not yet marked placed is put back and
// the database gets its earlier state again; one marked placed is kept.
// Either way the killed statement's temporary files go, so that the files
// match the catalogue again. The record is kept by database name, so the
// leftovers of a restore as a new name are found as well.
//
// The files are moved by wz::FilePlacement. Every caller holds the database
// (SqlSimDatabaseHold) across all of this.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/CWzError.h"
#include "WzUtils/WzFilePlacement.h"

struct SqlSimPlacedFile {
    std::string target;  // the database file
    std::string temp;    // its new content, beside it
};

class SqlSimRestorePlacing {
public:
    SqlSimRestorePlacing(SqlSimInstance& instance, std::string database)
        : m_instance(instance), m_database(std::move(database)) {}
    SqlSimRestorePlacing(const SqlSimRestorePlacing&) = delete;
    SqlSimRestorePlacing& operator=(const SqlSimRestorePlacing&) = delete;

    // Puts back or keeps what a killed statement of `database` left, removes
    // its temporary files and its record. A failure (a file that cannot be
    // put back, named in the error) keeps the record for the next statement.
    static CWzError PutBackKilled(SqlSimInstance& instance, const std::string& database);

    // Records `files` and marks the database RESTORING, committed on its own.
    // On failure nothing is recorded or changed.
    CWzError Begin(const std::vector<SqlSimPlacedFile>& files);
    // Puts the temporary file of the recorded `target` in its place, the old
    // file aside. False with `error` naming the file.
    bool Place(const std::string& target, std::string& error);
    // Marks the record placed: part of the transaction that records the
    // restore in the catalogue.
    CWzError MarkPlaced();
    // Once that transaction committed: removes the old files and the record.
    void Keep();
    // The statement failed: puts the old files back and gives the database
    // its earlier state. Where a file cannot be put back the database is
    // marked SUSPECT, the record stays for the next statement, and `error`
    // says so and names the files.
    bool PutBack(std::string& error);

private:
    struct Row {
        std::string target;
        std::string temp;
        std::string aside;  // empty: no file stood at the target
    };

    SqlSimInstance& m_instance;
    std::string m_database;
    std::vector<Row> m_rows;
    wz::FilePlacement m_placement;
};
