// bench_vdi: throughput of the virtual-device engine and the data pipeline
// against `cp` of the same files on the same disk. Makes a database of the
// given size under a scratch platform root, then times: cp of its files, a
// full backup on 1 and on 4 streams (the commit, which syncs, timed apart),
// and a full restore under a new name.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <list>
#include <string>

#include "JxSQLVDIBase/CJxSQLVDI.h"
#include "JxSqlDataReaderWriter/DataReaderWriter.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/PlatformRoot.h"

namespace {

constexpr const char* kServer = "bench/inst";
constexpr uint64_t kFileBytes = 256ull * 1024 * 1024;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

unsigned long g_transfer = 2 * 1024 * 1024;  // the restore jobs' defaults
unsigned long g_buffers = 20;

void Configure(CJxSQLVDIBase& e, int streams) {
    e.setVDIMaxTransferSize(g_transfer);
    e.setVDIBuffercount(g_buffers);
    e.setNumberOfStreams(streams);
    e.setVDITimeOut(300);
}

bool Backup(uint64_t job, int streams, std::list<RestoreArchiveInfo>& archives, double& transfer, double& commit) {
    SqlDataTransferHandler handler(true, job, 1, 2, "cs", 1, 0);
    CJxSQLVDI engine;
    Configure(engine, streams);
    engine.setBackupType('D');
    if (!engine.Initialize() || !engine.SetServerName(kServer, "Big")) return false;
    handler.setDbName("Big");
    handler.setVDIBase(&engine);
    handler.setStreams(streams);
    auto start = std::chrono::steady_clock::now();
    bool ok = handler.startTransfer();
    ok = engine.Finalize(false) && ok;
    transfer = Seconds(start);
    if (!ok) {
        std::fprintf(stderr, "backup failed: %s %s\n", engine.getJXErrorString().c_str(),
                     handler.getLastErrorString().c_str());
        return false;
    }
    archives.clear();
    for (auto& [stream, w] : handler.getStreamWriterMap()) {
        RestoreArchiveInfo a;
        a.archiveFileId = w->getArchiveFileId().archiveFileId;
        a.offset = w->getArchiveFileOffset();
        archives.push_back(a);
    }
    start = std::chrono::steady_clock::now();
    ok = handler.closePipeline(1, false);
    commit = Seconds(start);
    return ok;
}

bool Restore(const std::list<RestoreArchiveInfo>& archives, const std::string& folder, double& seconds) {
    SqlDataTransferHandler handler;
    CJxSQLVDI engine;
    engine.SetRestore();
    Configure(engine, static_cast<int>(archives.size()));
    engine.addFileToRename("Big", folder + "/big.mdf");
    engine.addFileToRename("Big_log", folder + "/big.ldf");
    for (int i = 2; i <= 4; ++i) engine.addFileToRename("Big" + std::to_string(i), folder + "/big" + std::to_string(i) + ".ndf");
    engine.setReplace();
    if (!engine.Initialize() || !engine.SetServerName(kServer, "BigCopy")) return false;
    handler.setDbName("BigCopy");
    handler.setVDIBase(&engine);
    handler.setStreams(static_cast<int>(archives.size()));
    handler.setRestoreArchiveFileInfoList(archives);
    auto start = std::chrono::steady_clock::now();
    bool ok = handler.startTransfer();
    ok = engine.Finalize(false) && ok;
    seconds = Seconds(start);
    if (!ok) std::fprintf(stderr, "restore failed: %s\n", engine.getJXErrorString().c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t sizeMb = 1024;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::printf("usage: bench_vdi [--size-mb N] [--dir SCRATCH-DIR] [--transfer-kb K] [--buffers B]\n"
                        "Times cp of a database's files, its full backup on 1 and 4 streams and its\n"
                        "restore, on the disk of SCRATCH-DIR (default a new folder under /var/tmp,\n"
                        "removed afterwards). N (default 1024) is rounded up to 256 MB files; K (default\n"
                        "2048) is the engine's maximum transfer size, B (default 20) its buffer count.\n");
            return 0;
        } else if (a == "--size-mb" && i + 1 < argc) {
            sizeMb = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--transfer-kb" && i + 1 < argc) {
            g_transfer = std::strtoul(argv[++i], nullptr, 10) * 1024;
        } else if (a == "--buffers" && i + 1 < argc) {
            g_buffers = std::strtoul(argv[++i], nullptr, 10);
        } else if (a == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else {
            std::fprintf(stderr, "bench_vdi: unknown argument %s (see --help)\n", a.c_str());
            return 2;
        }
    }
    if (sizeMb == 0) sizeMb = 256;
    bool removeDir = dir.empty();
    if (dir.empty()) {
        char pattern[] = "/var/tmp/bench_vdi.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return std::perror("mkdtemp"), 1;
        dir = pattern;
    }
    wz::SetPlatformRoot(dir + "/root");
    int files = static_cast<int>((sizeMb * 1024 * 1024 + kFileBytes - 1) / kFileBytes);
    if (files > 4) files = 4;
    double mb = static_cast<double>(files) * static_cast<double>(kFileBytes) / (1024.0 * 1024.0);

    SqlSimInstance sim;
    SqlSimServerSpec server;
    server.name = kServer;
    SqlSimDatabaseSpec db;
    db.name = "Big";
    db.dataSize = kFileBytes;
    if (sim.Create(server).IsError() || sim.AddDatabase(db).IsError()) return std::fprintf(stderr, "setup failed\n"), 1;
    for (int i = 2; i <= files; ++i) {
        SqlSimFileSpec f;
        f.database = "Big";
        f.fileGroup = "PRIMARY";
        f.logicalName = "Big" + std::to_string(i);
        f.size = kFileBytes;
        if (sim.AddFile(f).IsError()) return std::fprintf(stderr, "setup failed\n"), 1;
    }
    std::string paths;
    for (const auto& entry : std::filesystem::directory_iterator(sim.Location().DataDirectory())) {
        if (entry.path().extension() != ".ldf") paths += " '" + entry.path().string() + "'";
    }
    std::printf("database: %d file(s), %.0f MB, under %s\n", files, mb, dir.c_str());

    std::string cpDir = dir + "/cp";
    std::filesystem::create_directories(cpDir);
    auto start = std::chrono::steady_clock::now();
    if (std::system(("cp" + paths + " '" + cpDir + "'").c_str()) != 0) return 1;
    double cp = Seconds(start);
    ::sync();
    double cpSync = Seconds(start);
    std::filesystem::remove_all(cpDir);
    ::sync();
    std::printf("cp of the data files     %7.2f s  %8.1f MB/s  (with sync %.2f s)\n", cp, mb / cp, cpSync);

    std::list<RestoreArchiveInfo> one, four;
    double t1 = 0, c1 = 0, t4 = 0, c4 = 0, r = 0;
    if (!Backup(1, 1, one, t1, c1)) return 1;
    std::printf("full backup, 1 stream    %7.2f s  %8.1f MB/s  (%.2f x cp; with its commit %.2f x cp with sync)\n",
                t1, mb / t1, cp / t1, cpSync / (t1 + c1));
    if (!Backup(2, 4, four, t4, c4)) return 1;
    std::printf("full backup, 4 streams   %7.2f s  %8.1f MB/s  (%.2f x cp; with its commit %.2f x cp with sync)\n",
                t4, mb / t4, cp / t4, cpSync / (t4 + c4));
    std::filesystem::create_directories(dir + "/restored");
    if (!Restore(four, dir + "/restored", r)) return 1;
    std::printf("full restore, 4 streams  %7.2f s  %8.1f MB/s  (%.2f x cp with sync; it syncs its files)\n", r,
                mb / r, cpSync / r);
    if (removeDir) std::filesystem::remove_all(dir);
    return 0;
}
