// Log staging of the simulated instance: one log backup through the engine
// into a dump file and its metadata twin.
#include "JxSQLVDIBase/VdiLogStaging.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "JxSQLVDIBase/CJxSQLVDI.h"
#include "JxSQLVDIBase/VdiDevice.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr const char* kDumpInfix = "_Log_Backup_";

// The highest <n> of "<prefix><n>.bak" in `folder`, 0 when there is none.
unsigned long long HighestStagedNumber(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    if (wz::Fs().ReadDirectory(folder, names) != 0) return 0;
    unsigned long long highest = 0;
    for (const std::string& name : names) {
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0) continue;
        if (name.compare(name.size() - 4, 4, ".bak") != 0) continue;
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (digits.empty() || digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        highest = std::max(highest, std::strtoull(digits.c_str(), nullptr, 10));
    }
    return highest;
}

// Writes `content` to `path`, synced; false with errno set.
bool WriteSynced(const std::string& path, const std::string& content) {
    const int fd = wz::Fs().Open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = wz::WriteAll(fd, content.data(), content.size()) && wz::Fs().Fsync(fd) == 0;
    const int err = errno;
    if (wz::Fs().Close(fd) != 0 && ok) return false;
    errno = err;
    return ok;
}

}  // namespace

std::string VdiFileSafeName(const std::string& name) {
    std::string safe = name;
    for (char& c : safe) {
        if (std::string(":\\/*?\"<>|").find(c) != std::string::npos) c = '_';
    }
    return safe;
}

CWzError VdiStageLogBackup(const std::string& instance, const std::string& database, const std::string& folder,
                           std::string& dumpPath) {
    if (wz::MakeDirectoryTree(folder) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot create staging folder [%s]", folder.c_str());
    }
    CJxSQLVDI engine;
    engine.setNumberOfStreams(1);
    engine.setBackupType('L');
    if (!engine.Initialize() || !engine.SetServerName(instance, database) || !engine.StartVDIOperation()) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, WZ_E_FAIL, "cannot start the log backup of [%s]: %s",
                                          database.c_str(), engine.getJXErrorString().c_str());
    }
    std::string stream;
    VdiDevice* device = engine.getDevice(0);
    const int64_t waitMs = static_cast<int64_t>(engine.getVDITimeOut()) * 1000 * 2;
    for (;;) {
        VdiBlock block;
        const VdiWait w = device->Get(block, waitMs);
        if (w == VdiWait::End) break;
        if (w != VdiWait::Ok) {
            engine.AbortOperation("The staging reader stopped.");
            (void)engine.Finalize(true);
            return FXErrorUtil::ErrorJXResult(FXCODELOC, WZ_E_FAIL, "the log backup of [%s] gave no data: %s",
                                              database.c_str(), device->AbortReason().c_str());
        }
        stream.append(block.data.get(), block.size);
        device->Release(std::move(block));
    }
    if (!engine.Finalize(false)) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, WZ_E_FAIL, "the log backup of [%s] failed: %s", database.c_str(),
                                          engine.getJXErrorString().c_str());
    }
    const std::string prefix = VdiFileSafeName(database) + kDumpInfix;
    const std::string base =
        folder + "/" + prefix + std::to_string(HighestStagedNumber(folder, prefix) + 1);
    const std::string dump = base + ".bak", twin = base + ".xml";
    const std::string dumpTemp = dump + ".tmp", twinTemp = twin + ".tmp";
    if (!WriteSynced(dumpTemp, stream) || !WriteSynced(twinTemp, engine.getXMLBackupSetInfo_10()) ||
        wz::Fs().Rename(dumpTemp, dump) != 0 || wz::Fs().Rename(twinTemp, twin) != 0) {
        const int err = errno;
        (void)wz::Fs().Unlink(dumpTemp);  // leftovers of a failed attempt; absent ones are fine
        (void)wz::Fs().Unlink(twinTemp);
        return FXErrorUtil::ErrorErrNo(FXCODELOC, err, "cannot stage the log dump [%s]", dump.c_str());
    }
    dumpPath = dump;
    return CWzError();
}
