// RestoreCollectFile: the list of a database's log dumps in LSN order, as
// found on its dump folders, and its text file <database>_<job id>.rcf.
//
// File format: one dump per line, in LSN order, no header. Detailed form:
// "[<first LSN>] [<last LSN>] <full path of the .bak file>"; short form: the
// path alone. Read accepts both.
#pragma once

#include <string>

#include "JxSQLCommon/dump/DumpRestoreSettings.h"
#include "JxSQLCommon/state/LogFileInfo.h"
#include "WzUtils/CWzError.h"

class RestoreCollectFile {
public:
    RestoreCollectFile() = default;
    virtual ~RestoreCollectFile() = default;

    // Scans every mount path of every database of the settings into that
    // database's logFiles; a mount path that fails is logged and passed over.
    virtual CWzError Create(DumpRestoreSettings& settings);
    // Writes one restore collect file per database that has dumps.
    virtual CWzError Save(const DB_LSNS& databases, const std::string& folder, const std::string& jobID,
                          bool withLSNs) const;
    // Writes one restore collect file; an empty map writes nothing and gives
    // a success carrying "LSNs empty". The file is replaced whole: an entry
    // that would break a line, or a failed write, leaves the previous file
    // as it was.
    virtual CWzError Save(const LSNS& lsns, const std::string& fullPath, bool withLSNs) const;
    // Reads a restore collect file into `lsns`, checking each dump again;
    // dumps swept meanwhile are skipped. Fails when the map stays empty.
    virtual CWzError Read(LSNS& lsns, const std::string& fullPath) const;
    // <folder>/<database>_<job id>.rcf
    virtual CWzError BuildFilePath(std::string& out, const std::string& db, const std::string& folder,
                                   const std::string& jobID) const;
    // Adds the dumps of `db` found in the folder `path`: the pairs of
    // <lower-case db>_log_backup_*.bak and its readable .xml.
    virtual CWzError GetDatabaseFiles(const std::string& db, const std::string& path, LSNS& lsns) const;
};
