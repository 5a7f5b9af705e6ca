// jxdemo: runs the system end to end on a platform root of its own.
//
// The root is $JX_PLATFORM_ROOT, else the built-in default; the demo starts
// from an empty root each time so that its output is the same on every run.
// It clears the default root, and a root named by the variable only when the
// demo made it (marked by the file ".jxdemo-root"), so a variable pointing at
// a directory of other data loses nothing.
#include <cstdio>
#include <cstdlib>
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
#include "WzUtils/auto_lock.h"
#include "tools/demo/CatalogueDemo.h"

int main() {
    std::string root = wz::PlatformRoot();
    const std::filesystem::path marker = std::filesystem::path(root) / ".jxdemo-root";
    std::error_code ec;
    const char* named = std::getenv(wz::kPlatformRootEnv);
    if (named == nullptr || *named == '\0' || std::filesystem::exists(marker, ec)) {
        std::filesystem::remove_all(root, ec);
    } else if (!std::filesystem::is_empty(root, ec) && !ec) {
        std::fprintf(stderr, "the platform root %s holds other data; set JX_PLATFORM_ROOT to a new directory\n",
                     root.c_str());
        return 1;
    }
    if (!wz::MakeDirectories(root) || !std::ofstream(marker)) {
        std::fprintf(stderr, "cannot create the platform root %s\n", root.c_str());
        return 1;
    }
    EvDebug::SetProgramName("jxdemo");
    EvDebug log;
    std::printf("Platform root: %s\n", root.c_str());

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
    events.CriticalEvent(kAutoDiscoverEvent);
    std::printf("Event file: %s\n", EvEventFileSink::FilePath().c_str());
    std::printf("Log file: %s\n", EvDebug::LogFilePath().c_str());
    return RunCatalogueDemo(JX_SQL_LIBRARY);
}
