// jxdemo: runs the system end to end on a platform root of its own.
//
//   jxdemo             the main job: a backup and restore round trip through
//                      the job programs (RoundTrip.h), compared byte for byte
//   jxdemo catalogue   the questions the central server asks of a new client
//
// The root is $JX_PLATFORM_ROOT, else the built-in default; the demo starts
// from an empty root each time so that its output is the same on every run.
// It clears the default root, and a root named by the variable only when the
// demo made it (marked by the file ".jxdemo-root"), so a variable pointing at
// a directory of other data loses nothing.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "JxLib/EvDebug.h"
#include "JxLib/EvEvent.h"
#include "JxLib/EvEventFileSink.h"
#include "JxLib/FXNamedMutex.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLMessageHandler/client/AutoDiscoverRequest.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/auto_lock.h"
#include "tools/demo/CatalogueDemo.h"
#include "tools/demo/RoundTrip.h"

namespace {

constexpr const char* kUsage =
    "usage: jxdemo [catalogue]\n"
    "  without argument: a full, a differential and two log backups of a simulated database through\n"
    "  the job programs, a restore of the chain to a new name and one to a point in time in STANDBY,\n"
    "  both compared with the source, and each job as the job manager saw it.\n"
    "  catalogue: the central server's questions to a new client, answered by the plug-in.\n"
    "The platform root is $JX_PLATFORM_ROOT, else /var/tmp/jxsql-root; each run starts it empty.\n";

// A fresh, empty root of the demo's own; false when it cannot be had.
bool FreshRoot(const std::string& root) {
    const std::filesystem::path marker = std::filesystem::path(root) / ".jxdemo-root";
    std::error_code ec;
    const char* named = std::getenv(wz::kPlatformRootEnv);
    if (named == nullptr || *named == '\0' || std::filesystem::exists(marker, ec)) {
        std::filesystem::remove_all(root, ec);
    } else if (!std::filesystem::is_empty(root, ec) && !ec) {
        std::fprintf(stderr, "the platform root %s holds other data; set JX_PLATFORM_ROOT to a new directory\n",
                     root.c_str());
        return false;
    }
    if (wz::MakeDirectoryTree(root) != 0 || !std::ofstream(marker)) {
        std::fprintf(stderr, "cannot create the platform root %s\n", root.c_str());
        return false;
    }
    return true;
}

int RunCatalogue() {
    EvDebug log;
    JXPlatformInfo settings;
    settings.setNumber("MSSQLAgent", "nSessionTimeoutInMins", 30);
    int minutes = 0;
    settings.getNumber("MSSQLAgent", "nSessionTimeoutInMins", &minutes);
    std::printf("Setting MSSQLAgent/nSessionTimeoutInMins = %d\n", minutes);

    CWzError err = FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "in is empty");
    EV_ERROR(log, "Demo error value: %s", err.AsString().c_str());

    FXNamedMutex mutex("Global\\jx_mssql_1_DatabaseAutoDiscover");
    {
        auto_lock lock(&mutex, false);
        bool locked = lock.TryLock(CTimeInterval::FromSeconds(5));
        std::printf("Named mutex %s: %s\n", mutex.getName().c_str(), locked ? "locked" : "busy");
    }

    EvEvent events;
    events << "N'tempdb'" << "Instance001" << "client1";
    events.CriticalEvent(kEventAutoDiscoverFailed);
    std::printf("Event file: %s\n", EvEventFileSink::FilePath().c_str());
    std::printf("Log file: %s\n", EvDebug::LogFilePath().c_str());
    return RunCatalogueDemo(JX_SQL_LIBRARY);
}

}  // namespace

int main(int argc, char** argv) {
    const bool catalogue = argc == 2 && std::strcmp(argv[1], "catalogue") == 0;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 2 || (argc == 2 && !catalogue)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string root = wz::PlatformRoot();
    if (!FreshRoot(root)) return 1;
    EvDebug::SetProgramName("jxdemo");
    std::printf("Platform root: %s\n", root.c_str());
    if (catalogue) return RunCatalogue();
    // 4 MiB of data: the round trip takes a few seconds.
    RoundTrip trip({JX_BACKUP_PROGRAM, JX_RESTORE_PROGRAM, JX_SERVE_LIBRARY, JX_SQL_LIBRARY}, 4 * 1024 * 1024);
    return trip.RunDemo(stdout);
}
