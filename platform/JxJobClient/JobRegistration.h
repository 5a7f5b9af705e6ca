// JobRegistration: a job's registration with the job manager.
//
// Built from the job program's parsed options, it registers the job (one
// "registerJob" line in the job's journal) and then owns and hands out the
// job-manager clients and the job-results object; they live as long as it
// does. It is deleted through this base by the job that holds it.
//
// Registration fails with last error 5 when the job's results directory
// cannot be made; the backup job client is then still handed out, so the job
// can say why. While the test switch file exists (JobManagerFiles.h) every
// registration fails with the error it names.
//
// Constructing a registration routes the process's job events to the job
// journals (JobJournalEventSink.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class BackupOptionsParser;
class RestoreOptionsParser;
class JXBkpJobClient;
class JXJobClient;
class JXJobCtrlClient;
class JXRstJobClient;
class StoreResults;

class JobRegistration {
public:
    // The registration's last error for an inaccessible job-results directory.
    static constexpr int kResultsDirectoryInaccessible = 5;

    explicit JobRegistration(const BackupOptionsParser& parser);
    explicit JobRegistration(const RestoreOptionsParser& parser);
    virtual ~JobRegistration();
    JobRegistration(const JobRegistration&) = delete;
    JobRegistration& operator=(const JobRegistration&) = delete;

    // Registers the job once; true on success. A second call answers as the
    // first did.
    bool registerJob();
    int getLastError() const { return m_lastError; }

    // The objects registration hands out; null before a successful
    // registration (the backup client also after a failure with last error 5).
    JXJobCtrlClient* getJobControllObject() const { return m_ctrlClient.get(); }
    StoreResults* getJobResultsObject() const { return m_results.get(); }
    JXBkpJobClient* getBkpJobControllObject() const { return m_bkpClient.get(); }
    // The backup job's client as its plain job client (null for a restore).
    JXJobClient* getJobClientObject() const;
    JXRstJobClient* getRstJobControllObject() const { return m_rstClient.get(); }

    // Test switch: makes every later registration fail with `lastError`, or
    // lets registrations succeed again.
    static bool SetRegistrationFailure(int lastError);
    static bool ClearRegistrationFailure();

private:
    enum class Kind { Backup, Restore };
    JobRegistration(Kind kind, uint64_t jobId, std::string token);
    void JournalResult() const;
    bool Fail(int lastError);
    // The last error the test switch asks for, 0 when it is off.
    static int ForcedFailure();

    Kind m_kind;
    uint64_t m_jobId;
    std::string m_token;
    uint64_t m_jxCellId = 0;
    uint64_t m_appNumber = 0;
    uint64_t m_restoreTaskId = 0;
    bool m_attempted = false;
    bool m_registered = false;
    int m_lastError = 0;
    std::unique_ptr<JXJobCtrlClient> m_ctrlClient;
    std::unique_ptr<StoreResults> m_results;
    std::unique_ptr<JXBkpJobClient> m_bkpClient;
    std::unique_ptr<JXRstJobClient> m_rstClient;
};
