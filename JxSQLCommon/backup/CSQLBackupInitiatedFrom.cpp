// How the job was started: by the SQL plug-in or as an on-demand job.
#include "JxSQLCommon/backup/CSQLBackup.h"

namespace {
// Values of CSQLCommon::GetInitiatedFrom.
constexpr int kInitiatedFromOnDemand = 2;
constexpr int kInitiatedFromPlugin = 3;
}  // namespace

bool CSQLBackup::isJobInitiatedFromPlugin() { return GetInitiatedFrom(m_jobId, false) == kInitiatedFromPlugin; }

bool CSQLBackup::isJobInitiatedFromOSC() { return GetInitiatedFrom(m_jobId, false) == kInitiatedFromOnDemand; }
