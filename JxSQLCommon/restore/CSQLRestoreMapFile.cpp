// CSQLRestoreBase: the restore map files a job leaves in its job-results
// directory, one line per relocated database file saying where it went.
//
// The job has one restore map file ("<job id>_restore.txt"): the first
// database written empties it and every later one appends, so a job of
// several relocated databases keeps every database's lines. Each line holds
// two comma-separated, double-quoted fields (a quote inside a path doubled),
// so a CSV reader takes paths with commas and quotes apart correctly.
#include <cinttypes>
#include <string>

#include "JxLib/JXFile.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "WzUtils/FXString.h"

namespace {

// One CSV field: the text in double quotes, inner quotes doubled.
std::string Quoted(std::string text) {
    FXString::ReplaceAll(text, "\"", "\"\"");
    return "\"" + text + "\"";
}

std::string WithDoubleBackslashesAs(std::string path, const char* replacement) {
    FXString::ReplaceAll(path, "\\\\", replacement);
    return path;
}

}  // namespace

std::string CSQLRestoreBase::RestoreMapFileName(const char* suffix) const {
    return m_jobResultsDirectory + "/" + std::to_string(static_cast<long long>(m_jobId)) + suffix;
}

bool CSQLRestoreBase::OpenRestoreMapFile(JXFile& file, const std::string& path, bool empty) {
    if (file.open(path.c_str(), JXFile::kWrite) != 0 ||
        (empty ? file.truncate() != 0 : file.seek(0, JXFile::kFromEnd) < 0)) {
        EV_ERROR(m_logger, "Failed to open the restore map file [%s] for writing. ErrorCode [%d]", path.c_str(),
                 file.getLastError());
        return false;
    }
    return true;
}

bool CSQLRestoreBase::CloseRestoreMapFile(JXFile& file, const std::string& path) {
    const int flushed = file.bufWriteFlush();
    const int closed = file.close();
    if (flushed != 0 || closed != 0) {
        EV_ERROR(m_logger, "Failed to write the restore map file [%s]. ErrorCode [%d]", path.c_str(),
                 flushed != 0 ? flushed : closed);
        return false;
    }
    return true;
}

bool CSQLRestoreBase::generateRestoreMapFile(SqlRestoreDbInfo_t& db, bool snapshot) {
    const std::string mapFile = RestoreMapFileName("_restore.txt");
    if (db.newFiles.empty()) return true;
    if (m_jobResultsDirectory.empty()) {
        EV_ERROR(m_logger, "No job-results directory for the restore map file of database [%s].",
                 TargetName(db).c_str());
        return false;
    }

    EV_INFO(m_logger, "Generating Restore Map File = %s", mapFile.c_str());
    // The first database of the job starts the file; later ones add to it.
    const bool empty = !m_restoreMapFileStarted;
    JXFile map;
    if (!OpenRestoreMapFile(map, mapFile, empty)) return false;
    m_restoreMapFileStarted = true;

    // Only the files that have both a source and a new path are mapped.
    auto source = db.oldFiles.begin();
    auto target = db.newFiles.begin();
    if (!snapshot) {
        bool written = true;
        for (; source != db.oldFiles.end() && target != db.newFiles.end(); ++source, ++target) {
            EV_DEBUG(m_logger, 6, "Old file name [%s], new file name [%s].", source->c_str(), target->c_str());
            written = map.putLine(Quoted(WithDoubleBackslashesAs(*source, "/")) + "," + Quoted(*target), false) >= 0 &&
                      written;
        }
        return CloseRestoreMapFile(map, mapFile) && written;
    }

    if (m_snapFileMap.mappedPaths.empty()) {
        EV_ERROR(m_logger, "Incorrect file mapping found for database [%s] restore.", TargetName(db).c_str());
        (void)map.close();  // nothing was written to it; the failure is the result
        return false;
    }
    const std::string specialFile = RestoreMapFileName("_snap_restore.rmap");
    EV_DEBUG(m_logger, 1, "Generating Special Restore Map File = %s", specialFile.c_str());
    JXFile special;
    if (!OpenRestoreMapFile(special, specialFile, empty)) {
        (void)map.close();  // nothing was written to it; the failure is the result
        return false;
    }
    bool written = true;
    for (; source != db.oldFiles.end() && target != db.newFiles.end(); ++source, ++target) {
        std::string mapped;
        if (auto it = m_snapFileMap.mappedPaths.find(*target); it != m_snapFileMap.mappedPaths.end()) {
            mapped = it->second;
            // A trailing "*" stands for the folder's contents: drop it and
            // the separator before it (or what there is of them).
            if (!mapped.empty() && mapped.back() == '*') mapped.resize(mapped.size() >= 2 ? mapped.size() - 2 : 0);
        }
        const std::string sourcePath = WithDoubleBackslashesAs(*source, "\\");
        const std::string specialLine = sourcePath + "|" + *target + "|" + mapped;
        EV_DEBUG(m_logger, 6, "Map file restore map entry [%s].", specialLine.c_str());
        written = special.putLine(specialLine, false) >= 0 && written;
        written = map.putLine(Quoted(sourcePath) + "," + Quoted(mapped), false) >= 0 && written;
    }
    const bool specialClosed = CloseRestoreMapFile(special, specialFile);
    return CloseRestoreMapFile(map, mapFile) && specialClosed && written;
}
