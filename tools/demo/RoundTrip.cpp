// The round trip: set-up, the job runs, the comparisons and the summary.
#include "tools/demo/RoundTrip.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>

#include "JXAppMgr/AppModel.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxProcess.h"
#include "JxLib/MangleHostName.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSession/jxsTargets.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimDescription.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"
#include "tools/host/HostBindings.h"
#include "tools/host/JxHost.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

constexpr const char* kCentralServer = "cs1";
constexpr const char* kCentralServerClient = "cs1client";
constexpr const char* kBackupDomain = "2";

CWzError Failure(const std::string& what) {
    return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "%s", what.c_str());
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// SQL Server runs as the user running the demo: the restore hands the
// directories it creates to that user.
std::string CurrentUser() {
    const struct passwd* pw = ::getpwuid(::geteuid());
    return pw != nullptr && pw->pw_name != nullptr ? pw->pw_name : "root";
}

bool WriteScript(const std::string& path, const std::string& body) {
    std::ofstream out(path, std::ios::trunc);
    out << "#!/bin/sh\n" << body;
    out.close();
    return out && ::chmod(path.c_str(), 0755) == 0;
}

struct DatabaseFile {
    std::string logicalName;
    std::string path;
    bool log = false;
};

std::vector<DatabaseFile> FilesOf(const std::string& database) {
    SqlSimInstance sim;
    int64_t id = 0;
    std::vector<SqlSimFileRow> rows;
    if (sim.Open(RoundTrip::kInstance).IsError() || sim.DatabaseId(database, id).IsError() ||
        SqlSimChanges(sim).Files(id, rows).IsError()) {
        return {};
    }
    std::vector<DatabaseFile> files;
    for (const SqlSimFileRow& r : rows) files.push_back({r.logicalName, r.path, r.type == 1});
    return files;
}

const char* LevelName(char phase) {
    switch (phase) {
    case 'D':
        return "full";
    case 'I':
        return "differential";
    default:
        return "log";
    }
}

}  // namespace

RoundTrip::RoundTrip(RoundTripPrograms programs, uint64_t dataBytes)
    : m_programs(std::move(programs)), m_dataBytes(dataBytes) {}

RoundTrip::~RoundTrip() {
    if (m_host) m_host->Stop();
}

CWzError RoundTrip::SetUp() {
    // The data in at least three files of equal size, one in the PRIMARY
    // file group and the others in ARCHIVE; sizes in whole pages.
    const uint64_t page = SqlSimChanges::kPageSize;
    const uint64_t maxFile = SqlSimInstance::kMaxFileSize;
    const uint64_t files = std::max<uint64_t>(3, (m_dataBytes + maxFile - 1) / maxFile);
    const uint64_t fileSize = std::max<uint64_t>(m_dataBytes / files / page, 16) * page;
    std::ostringstream description;
    description << "instance " << kInstance << " version=16.0.4105.2\n"
                << "database " << kDatabase << " recovery=full data=" << fileSize << "\n"
                << "filegroup " << kDatabase << " ARCHIVE\n";
    for (uint64_t i = 1; i < files; ++i) {
        description << "file " << kDatabase << " ARCHIVE " << kDatabase << "_archive" << i << " size=" << fileSize
                    << "\n";
    }
    if (CWzError err = SqlSimApplyDescription(description.str()); err.IsError()) return err;

    const std::string instance = AppModel::ObjectName("instance", kInstanceId);
    const std::string subclient = AppModel::ObjectName("subclient", kSubclient);
    const bool modelled =
        AppModel::Set(AppModel::ObjectName("client", 1), "name", kClient) &&
        AppModel::Set(instance, "name", kInstance) && AppModel::Set(instance, "serverType", "DataBase Engine") &&
        AppModel::Set(instance, "sqlVersion", "16.0.4105.2") &&
        AppModel::Set(subclient, "instanceId", std::to_string(kInstanceId)) &&
        AppModel::Set(subclient, "name", "daily") && AppModel::Set(subclient, "dataBkpStreams", "1") &&
        AppModel::Set(subclient, "logBkpStreams", "1") && AppModel::Set(subclient, "property118_1", kDatabase);
    if (!modelled) return Failure("cannot write the backup domain's model");

    JXPlatformInfo settings;
    settings.setString("Base", "sJxServerHostName", kCentralServer);
    settings.setString("Base", "sJxServerClientName", kCentralServerClient);
    settings.setString("MSSQLAgent", "sSQLServerUser", CurrentUser());
    const std::string systemctl = wz::PlatformFilePath("bin/systemctl");
    if (!WriteScript(systemctl, "echo 'Active: active (running)'\n") ||
        !JxProcess::SetProgramPath("systemctl", systemctl)) {
        return Failure("cannot install the service command " + systemctl);
    }

    m_host = std::make_unique<JxHost>();
    if (CWzError err = m_host->Start(0); err.IsError()) return err;
    const bool served =
        jxsRegisterTarget(MangleHostName(kCentralServer, kCentralServerClient, 8400, 8402), m_host->Port()) &&
        jxsRegisterTarget(kClient, m_host->Port()) &&
        SetHostBinding("sLNSQLServer61", "sLPSQLMSG", {m_programs.serveLibrary, "jxServeMessageHandler"}) &&
        SetHostBinding("sLNSQLClient61", "sLPSQLMSG", {m_programs.plugin, "sqlMessageHandler"});
    if (!served) return Failure("cannot register the host's targets and bindings");
    return CWzError();
}

std::vector<std::string> RoundTrip::BackupArguments(uint64_t jobId, char phase) const {
    const std::string id = std::to_string(jobId);
    const char* type = phase == 'D' ? "1" : phase == 'I' ? "4" : "2";
    return {"-j",
            id,
            "-token",
            id + ":1:1",
            "-cell",
            kBackupDomain,
            "-a",
            std::to_string(kSubclient),
            "-cn",
            kClient,
            std::string("-") + phase,
            "-type",
            type};
}

JobSummary RoundTrip::Backup(uint64_t jobId, char phase) {
    m_lastRun = JobLauncher::Run(m_programs.backup, BackupArguments(jobId, phase));
    m_jobs.push_back(SummarizeJob(jobId, LevelName(phase), m_lastRun));
    return m_jobs.back();
}

bool RoundTrip::SetDataStreams(int streams) {
    return AppModel::Set(AppModel::ObjectName("subclient", kSubclient), "dataBkpStreams", std::to_string(streams));
}

CWzError RoundTrip::Change(uint32_t pages, uint64_t seed, int64_t timeMs) {
    SqlSimInstance sim;
    if (CWzError err = sim.Open(kInstance); err.IsError()) return err;
    return SqlSimChanges(sim).Change({kDatabase, pages, seed, "", timeMs});
}

JobSummary RoundTrip::Restore(uint64_t jobId, uint64_t taskId, const std::string& newName, const std::string& folder,
                              uint64_t pointInTime, bool standby, bool overwrite) {
    JxServeRestoreTask task;
    task.sourceInstanceId = kInstanceId;
    task.destinationInstanceId = kInstanceId;
    task.databases = {kDatabase};
    task.pointInTime = pointInTime;
    task.optionFlags =
        (pointInTime != 0 ? kRstPointInTime : 0) | (standby ? kRstStandby : 0) | (overwrite ? kRstOverwrite : 0);
    if (standby) task.standbyUndoFile = folder + "/" + newName + "_undo.dat";
    // Each file keeps its logical name and moves to `folder`.
    const char sep = '\x12';
    int n = 0;
    for (const DatabaseFile& f : FilesOf(kDatabase)) {
        const std::string name = newName + (f.log ? "_log.ldf" : n++ == 0 ? ".mdf" : "_" + std::to_string(n) + ".ndf");
        task.relocations.push_back(std::string(kDatabase) + sep + newName + sep + f.logicalName + sep + f.path + sep +
                                   folder + "/" + name);
    }
    JxServePutRestoreTask(taskId, task);
    const std::string id = std::to_string(jobId);
    m_lastRun = JobLauncher::Run(m_programs.restore,
                                 {"-j", id, "-token", id + ":1:1", "-rt", std::to_string(taskId), "-cn", kClient});
    m_jobs.push_back(SummarizeJob(jobId, pointInTime != 0 ? "restore (PIT)" : "restore", m_lastRun));
    return m_jobs.back();
}

std::vector<std::string> RoundTrip::Contents(const std::string& database) const {
    std::vector<std::string> out;
    for (const DatabaseFile& f : FilesOf(database)) {
        if (!f.log) out.push_back(ReadAll(f.path));
    }
    return out;
}

std::string RoundTrip::State(const std::string& database) const {
    SqlSimInstance sim;
    if (sim.Open(kInstance).IsError()) return "";
    SimSqlStatement q = sim.Db().Prepare("SELECT state FROM databases WHERE name = ?");
    q.Bind(1, database);
    return q.Step() ? SqlDbStateText(static_cast<int>(q.Int(0))) : "";
}

int RoundTrip::RunDemo(FILE* out) {
    if (CWzError err = SetUp(); err.IsError()) {
        std::fprintf(out, "set-up failed: %s\n", err.AsString().c_str());
        return 1;
    }
    std::fprintf(out,
                 "Simulated instance %s with database %s (FULL recovery; PRIMARY and ARCHIVE file groups,\n"
                 "three data files and a log); host serving the plug-in and the central server's stand-in.\n\n",
                 kInstance, kDatabase);
    bool ok = true;
    auto step = [&](const char* what, const JobSummary& job) {
        std::fprintf(out, "%-52s job %llu: %s\n", what, static_cast<unsigned long long>(job.jobId),
                     job.StatusText().c_str());
        ok = ok && job.status == 1;
    };
    auto change = [&](uint32_t pages, uint64_t seed, int64_t timeMs = 0) {
        CWzError err = Change(pages, seed, timeMs);
        if (err.IsError()) std::fprintf(out, "change failed: %s\n", err.AsString().c_str());
        ok = ok && err.IsSuccess();
    };
    step("full backup", Backup(1, 'D'));
    change(64, 1);
    step("64 pages changed, differential backup", Backup(2, 'I'));
    change(32, 2);
    step("32 pages changed, log backup", Backup(3, 'L'));
    // The point in time falls between two changes that the second log
    // backup takes. The first change is stamped now and the point in time is
    // the next whole second: the change is before it, and so is the end of
    // the first log backup, whole seconds that passed before now. The second
    // change is stamped a second after it. All come from one reading of the
    // clock that stamps log records; time() follows a coarser clock that can
    // still show the previous second a few milliseconds into a new one.
    const int64_t firstMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    change(16, 3, firstMs);
    const uint64_t pointInTime = static_cast<uint64_t>(firstMs / 1000) + 1;
    const std::vector<std::string> atPointInTime = Contents(kDatabase);
    change(24, 4, static_cast<int64_t>(pointInTime + 1) * 1000);
    step("16 + 24 pages changed, log backup", Backup(4, 'L'));
    if (!ok) {
        std::fprintf(out, "\nThe backups did not all complete; see the journals and logs under %s\n",
                     wz::PlatformRoot().c_str());
        PrintJobSummaries(out, m_jobs);
        return 1;
    }
    const std::vector<std::string> source = Contents(kDatabase);

    const std::string copy = std::string(kDatabase) + "Copy";
    const std::string standby = std::string(kDatabase) + "Standby";
    step("restore of the whole chain as ShopCopy", Restore(5, 1, copy, wz::PlatformPath("restored/copy"), 0, false));
    // The point in time as a reader knows it (UTC), not as seconds.
    char when[32] = "";
    const std::time_t stamp = static_cast<std::time_t>(pointInTime);
    std::tm utc{};
    if (gmtime_r(&stamp, &utc) != nullptr) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", &utc);
    char what[96];
    std::snprintf(what, sizeof what, "restore to %s as ShopStandby, STANDBY", when);
    step(what, Restore(6, 2, standby, wz::PlatformPath("restored/standby"), pointInTime, true));

    const bool sameFiles = Contents(copy) == source;
    const bool samePoint = Contents(standby) == atPointInTime && atPointInTime != Contents(kDatabase);
    std::fprintf(out, "\nComparison:\n");
    std::fprintf(out, "  %s (%s) against %s: %zu data files %s\n", copy.c_str(), State(copy).c_str(), kDatabase,
                 source.size(), sameFiles ? "equal byte for byte" : "DIFFERENT");
    std::fprintf(out, "  %s (%s) against %s at %s: data files %s\n", standby.c_str(), State(standby).c_str(),
                 kDatabase, when,
                 samePoint ? "hold exactly the changes up to that time" : "DIFFERENT");
    std::fprintf(out, "\nJobs as the job manager saw them:\n");
    PrintJobSummaries(out, m_jobs);
    std::fprintf(out, "\nMedia (disk library): %s\nJob journals:        %s\nLogs:                %s\n",
                 wz::PlatformPath("media").c_str(), wz::PlatformPath("jobmanager").c_str(),
                 wz::PlatformPath("logs").c_str());
    return ok && sameFiles && samePoint ? 0 : 1;
}
