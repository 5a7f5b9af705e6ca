// JobRegistration: registering a job and handing out its clients.
#include "JxJobClient/JobRegistration.h"

#include <cstdlib>
#include <fstream>

#include "JobResults/StoreResults.h"
#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxCommandLineParser/RestoreOptionsParser.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JXRstJobClient.h"
#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobJournalEventSink.h"
#include "JxJobClient/JobManagerFiles.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

JobRegistration::JobRegistration(Kind kind, uint64_t jobId, std::string token)
    : m_kind(kind), m_jobId(jobId), m_token(std::move(token)) {
    // Events of the job from now on belong in its journal.
    JobJournalEventSink::InstallForProcess();
}

JobRegistration::JobRegistration(const BackupOptionsParser& parser)
    : JobRegistration(Kind::Backup, parser.getJobId(), parser.getJobToken()) {
    m_jxCellId = parser.getJxCellId();
    m_appNumber = parser.getApplicationNumber();
}

JobRegistration::JobRegistration(const RestoreOptionsParser& parser)
    : JobRegistration(Kind::Restore, parser.getJobId(), parser.getJobToken()) {
    m_restoreTaskId = parser.getRestoreTaskId();
}

JobRegistration::~JobRegistration() = default;

JXJobClient* JobRegistration::getJobClientObject() const { return m_bkpClient.get(); }

bool JobRegistration::registerJob() {
    if (m_attempted) return m_registered;
    m_attempted = true;
    if (int forced = ForcedFailure(); forced != 0) return Fail(forced);

    const std::string directory = jobmanager::JobResultsDirectory(m_jobId);
    if (wz::MakeDirectoryTree(directory) != 0) return Fail(kResultsDirectoryInaccessible);

    m_ctrlClient = std::make_unique<JXJobCtrlClient>(m_jobId);
    m_results = std::make_unique<StoreResults>(directory);
    if (m_kind == Kind::Backup) {
        m_bkpClient = std::make_unique<JXBkpJobClient>(m_jobId);
    } else {
        m_rstClient = std::make_unique<JXRstJobClient>(m_jobId);
    }
    m_registered = true;
    JournalResult();
    return true;
}

bool JobRegistration::Fail(int lastError) {
    m_lastError = lastError;
    // The job manager knows a job whose results directory is out of reach, so
    // a backup job can still tell it why it stops.
    if (lastError == kResultsDirectoryInaccessible && m_kind == Kind::Backup) {
        m_bkpClient = std::make_unique<JXBkpJobClient>(m_jobId);
    }
    JournalResult();
    return false;
}

void JobRegistration::JournalResult() const {
    jobmanager::JournalLine line(m_jobId, "registerJob");
    line.Text("kind", m_kind == Kind::Backup ? "backup" : "restore")
        .Flag("ok", m_registered)
        .Number("lastError", m_lastError)
        .Text("token", m_token);
    if (m_kind == Kind::Backup) {
        line.Unsigned("jxCellId", m_jxCellId).Unsigned("appNumber", m_appNumber);
    } else {
        line.Unsigned("restoreTaskId", m_restoreTaskId);
    }
    if (m_registered) line.Text("resultsDirectory", m_results->getDirectory());
    line.Append();
}

int JobRegistration::ForcedFailure() {
    std::ifstream in(jobmanager::RegistrationFailurePath());
    if (!in) return 0;
    std::string text;
    std::getline(in, text);
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value <= 0 || value > 0x7fffffff) return 1;
    return static_cast<int>(value);
}

bool JobRegistration::SetRegistrationFailure(int lastError) {
    std::ofstream out(jobmanager::RegistrationFailurePath(), std::ios::trunc);
    out << lastError << '\n';
    return static_cast<bool>(out.flush());
}

bool JobRegistration::ClearRegistrationFailure() { return std::remove(jobmanager::RegistrationFailurePath().c_str()) == 0; }
