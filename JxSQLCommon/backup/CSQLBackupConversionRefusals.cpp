// Job-level conversion of subclients whose backup method cannot take the
// phase the converted lists ask for.
//
// A log phase of a replicated (LREP), virtual-server application snapshot
// (LREP VSA) or block-level subclient refuses the conversion: each listed
// database is reported as skipped with the reason, one information event
// tells the user why, and the lists are deleted so that the job manager is
// asked for no further phase. A snapshot job folds every conversion into
// one full phase instead.
#include <set>
#include <string>

#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"

// What one refusing variant says: per database (by target level) and for
// the job as a whole.
struct CSQLBackup::ConversionRefusal {
    std::string fullPrefix, fullSuffix;  // around the name, full list
    std::string diffPrefix, diffSuffix;  // around the name, differential list
    std::string jobText;                 // the event's only argument
    std::string debugPrefix;             // before the joined names
};

namespace {

constexpr int kRefusedReasonCode = 0;

}  // namespace

// Reports every database of the covered lists as skipped, then deletes the
// lists. `coversFull` is false for the variants that leave the full list to
// its phase.
void CSQLBackup::RefuseConversion(const ConversionRefusal& texts, bool coversFull) {
    const uint32_t fullCount = coversFull ? GetConvertedDBCount(JXSQL_BACKUP_FULL) : 0;
    const uint32_t diffCount = GetConvertedDBCount(JXSQL_BACKUP_DIFF);
    if (fullCount != 0 || diffCount != 0) {
        std::string joined;
        const auto report = [&](const std::set<std::string>& names, const std::string& prefix,
                                const std::string& suffix) {
            for (const std::string& name : names) {
                (void)UpdateSkippedFailedCountAndJobInfo(name, prefix + name + suffix, kRefusedReasonCode,
                                                         JobManager::kDBStatusSkippedInPhase);
                if (!joined.empty()) joined += ", ";
                joined += name;
            }
        };
        if (coversFull) report(m_fullConvertedNames, texts.fullPrefix, texts.fullSuffix);
        report(m_diffConvertedNames, texts.diffPrefix, texts.diffSuffix);
        EV_DEBUG(m_logger, 1, "%s%s].", texts.debugPrefix.c_str(), joined.c_str());
        m_logger << texts.jobText.c_str();
        m_logger.InfoEvent(kCauseFreeText, 0, 0);
    }
    // Deleted also when empty: the job manager must be asked for no phase.
    if (coversFull) (void)DeleteConvertedDBCollectFile(JXSQL_BACKUP_FULL);  // a failure is logged there
    (void)DeleteConvertedDBCollectFile(JXSQL_BACKUP_DIFF);
}

void CSQLBackup::HandleLREPConversion() {
    static const ConversionRefusal texts{
        "Not Converting LREP Transaction log backup job to FULL for Database(s) [",
        "].",
        "Not Converting LREP Transaction log backup job to DIFF for Database(s) [",
        "].",
        "The subclient is associated with a storage policy enabled for snapshot backup of open systems, therefore "
        "Transaction log backup is not converted to FULL/DIFF.",
        "The subclient is associated with a storage policy enabled for snapshot backup of open systems, therefore "
        "Transaction log backup is not converted to FULL/DIFF for Database(s) [",
    };
    RefuseConversion(texts, true);
}

void CSQLBackup::HandleLREPVSAConversion() {
    static const ConversionRefusal texts{
        "Virtual Server Application Snap is enabled on the subclient, not converting [",
        "] Transaction log backup to FULL.",
        "Virtual Server Application Snap is enabled on the subclient, not converting [",
        "] Transaction log backup to DIFF.",
        "Virtual Server Application Snap is enabled on the subclient, not converting Transaction log backup to "
        "FULL/DIFF.",
        "Virtual Server Application Snap is enabled on the subclient, not converting Transaction log backup to "
        "FULL/DIFF for Database(s) [",
    };
    RefuseConversion(texts, true);
}

// A block-level job still runs the full phase for databases converted to full.
void CSQLBackup::HandleBlockLevelConversion() {
    static const ConversionRefusal texts{
        "",
        "",
        "Block level backup is enabled on the subclient, not converting [",
        "] Transaction log backup to DIFF.",
        "Block level backup is enabled on the subclient, not converting Transaction log backup to DIFF.",
        "Block level backup is enabled on the subclient, not converting Transaction log backup to DIFF for "
        "Database(s) [",
    };
    RefuseConversion(texts, false);
}

void CSQLBackup::HandleSNAPConversion() {
    const uint32_t fullCount = GetConvertedDBCount(JXSQL_BACKUP_FULL);
    const uint32_t diffCount = GetConvertedDBCount(JXSQL_BACKUP_DIFF);
    if (fullCount == 0 && diffCount == 0) return;
    const ConvertedList full = ConvertedListOf(JXSQL_BACKUP_FULL);
    const std::set<std::string> fullBefore = *full.names;
    full.names->insert(m_diffConvertedNames.begin(), m_diffConvertedNames.end());
    // The list is rewritten from the start below: the handle that appended
    // to it is done.
    if (full.file->isOpened() && full.file->close() != 0) {
        EV_WARN(m_logger, "Failed to close collect file [%s].", full.path.c_str());
    }
    if (!WriteToCollectFile(full.path, *full.names, true)) {
        EV_WARN(m_logger, "Failed to generate full collect file [%s].", full.path.c_str());
        // The differential databases stay with their own list and phase, and
        // the full list gets back what it held, so nothing is dropped.
        *full.names = fullBefore;
        DropUnwrittenName(full);
        *full.flag = !full.names->empty();
        return;
    }
    *full.flag = true;
    m_diffConvertedNames.clear();
    m_bDiffConversion = false;
}
